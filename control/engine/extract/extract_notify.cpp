// The extraction driver's entry output: ZNExpanding after each full buffer
// (see extract_io.h). Apart from extract_io.cpp so that the self-extractor
// stub, which reports its own progress, links no notification code.
#include <algorithm>

#include "control/engine/common/notify.h"
#include "control/engine/extract/extract_io.h"

namespace vz::engine {

EntryOutput::EntryOutput(File& file, const UnzipState& st, const std::string& name, uint64_t declaredSize,
                         bool progress)
    : EntryOutput(file, progress ? BlockWritten([&st, &name, declaredSize](uint64_t before, uint64_t, bool last) {
                    if (last) return;
                    const uint64_t percent =
                        declaredSize == 0 ? 100 : std::min<uint64_t>(before * 100 / declaredSize, 100);
                    notify(st, kNotifyExpanding, static_cast<WParam>(percent), reinterpret_cast<LParam>(name.c_str()));
                  })
                                 : BlockWritten()) {}

}  // namespace vz::engine
