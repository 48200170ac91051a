// The LHA family's method table (see lh_methods.h).
#include "manager/readers/codecs/lh_methods.h"

#include "manager/readers/codecs/larc_lzss.h"
#include "manager/readers/codecs/lh1.h"
#include "manager/readers/codecs/lh2.h"
#include "manager/readers/codecs/lh3.h"
#include "manager/readers/codecs/lh_block.h"
#include "manager/readers/codecs/lh_stored.h"
#include "manager/readers/codecs/pm1.h"
#include "manager/readers/codecs/pm2.h"

namespace vz::readers::codecs {

namespace {

enum class Kind { None, Stored, Lh1, Lh2, Lh3, Block, Lzs, Lz5, Pm1, Pm2 };

struct Method {
  std::string_view id;
  Kind kind;
  int windowBits;  // block methods: the window
};

constexpr Method kMethods[] = {
    {"-lh0-", Kind::Stored, 0}, {"-lz4-", Kind::Stored, 0}, {"-pm0-", Kind::Stored, 0}, {"-lh1-", Kind::Lh1, 12},
    {"-lh2-", Kind::Lh2, 13},   {"-lh3-", Kind::Lh3, 13},   {"-lh4-", Kind::Block, 12}, {"-lh5-", Kind::Block, 13},
    {"-lh6-", Kind::Block, 15}, {"-lh7-", Kind::Block, 16}, {"-lhx-", Kind::Block, 19}, {"-lzs-", Kind::Lzs, 11},
    {"-lz5-", Kind::Lz5, 12},   {"-pm1-", Kind::Pm1, 14},   {"-pm2-", Kind::Pm2, 13},
};

const Method* find(std::string_view id) {
  for (const Method& m : kMethods)
    if (m.id == id) return &m;
  return nullptr;
}

}  // namespace

bool lhMethodKnown(std::string_view id) { return find(id) != nullptr; }

engine::DecodeStatus decodeLhMethod(std::string_view id, engine::DecodeInput& input, engine::DecodeOutput& output,
                                    uint64_t size, const engine::DecodeHooks* hooks) {
  const Method* m = find(id);
  if (m == nullptr) return engine::DecodeStatus::UnsupportedMethod;
  switch (m->kind) {
    case Kind::Stored:
      return copyLhStored(input, output, size, hooks);
    case Kind::Lh1:
      return decodeLh1(input, output, size, hooks);
    case Kind::Lh2:
      return decodeLh2(input, output, size, hooks);
    case Kind::Lh3:
      return decodeLh3(input, output, size, hooks);
    case Kind::Block:
      return decodeLhBlock(input, output, size, m->windowBits, hooks);
    case Kind::Lzs:
      return decodeLzs(input, output, size, hooks);
    case Kind::Lz5:
      return decodeLz5(input, output, size, hooks);
    case Kind::Pm1:
      return decodePm1(input, output, size, hooks);
    case Kind::Pm2:
      return decodePm2(input, output, size, hooks);
    case Kind::None:
      break;
  }
  return engine::DecodeStatus::UnsupportedMethod;
}

}  // namespace vz::readers::codecs
