// Fuzz target of the self-extractor stub's reading side: the stub length,
// the configuration block, the end-record search with the prefix rule, and
// then a whole extraction run (the stub's own run code) into a scratch
// folder, with every question answered "skip"/"no". What the run created is
// removed after each input.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "control/engine/sfx/sfx_config.h"
#include "fuzz/fuzz_input_file.h"
#include "platform/file.h"
#include "sfxstub/stub_run.h"

namespace {

class QuietUi final : public vz::sfx::StubUi {
 public:
  void entryStarted() override {}
  void fileProgress(int, const std::string&) override {}
  bool pump() override { return false; }
  vz::sfx::PasswordAnswer askPassword(const std::string&, std::string& password) override {
    password = "x";  // one retry with a fixed password, then a skip (the same one again)
    return vz::sfx::PasswordAnswer::Retry;
  }
  vz::sfx::ReplaceAnswer askReplace(const std::string&, bool) override { return vz::sfx::ReplaceAnswer::Yes; }
  void warning(const std::string&) override {}
};

// Removed with its files at the end of the process.
const std::string& scratchFolder() {
  static const vz::fuzz::ScratchFolder dir("sfx");
  return dir.root;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = vz::fuzz::writeInput(data, size);
  vz::engine::ArchiveInput f;
  if (!f.open(path)) return 0;
  (void)vz::engine::sfxStubLength(f);
  vz::engine::SfxPayload payload;
  if (!vz::engine::locateSfxPayload(f, payload)) return 0;
  uint8_t block[vz::engine::kSfxConfigSize];
  if (f.readAt(payload.configOffset, block, sizeof block) != static_cast<int64_t>(sizeof block)) return 0;
  vz::sfx::RunInput in{path, payload, vz::engine::decodeSfxConfig(block), scratchFolder()};
  QuietUi ui;
  vz::sfx::CreatedItems created;
  bool aborted = false;
  (void)vz::sfx::runExtraction(in, ui, created, aborted);
  vz::sfx::cleanUp(created);
  return 0;
}
