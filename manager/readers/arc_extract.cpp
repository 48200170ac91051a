// TUnARC's run (see arc_extract.h).
#include "manager/readers/arc_extract.h"

#include <cctype>
#include <string>
#include <vector>

#include "manager/readers/arc_lister.h"
#include "manager/readers/archive_input.h"
#include "manager/readers/codecs/arc_crc16.h"
#include "manager/readers/codecs/arc_key_input.h"
#include "manager/readers/codecs/arc_methods.h"
#include "manager/readers/password_loop.h"
#include "manager/readers/reader_errors.h"
#include "platform/file.h"

namespace vz::readers {

namespace {

using codecs::ArcStatus;

constexpr int32_t kHighestMethod = 11;

int32_t errorOf(ArcStatus s, const engine::DecodeOutput& sink) {
  switch (s) {
    case ArcStatus::Ok:
      return 0;
    case ArcStatus::BadData:
      return E_READ;
    case ArcStatus::BadTree:
      return E_BADDECODETREE;
    case ArcStatus::BadCode:
      return E_INVALIDCODE;
    case ArcStatus::UnsupportedMethod:
      return E_UNSUPPORTEDMETHOD;
    case ArcStatus::OutputStopped:
      // Past the declared size the data is not what the header says.
      return sink.sinkFailed() ? E_WRITE : E_CRCERROR;
    case ArcStatus::NoMemory:
      return E_OUTOFMEMORY;
    case ArcStatus::Cancelled:
      return E_USERABORT;
  }
  return E_BADBLOCK;
}

// Takes the decoded bytes of a trial decoding and drops them.
class DiscardOutput final : public engine::DecodeOutput {
 protected:
  bool write(const uint8_t*, size_t) override { return true; }
};

// Whether an entry's failure may come from a password it was stored with:
// the data decoded to something else or not at all.
bool mayBeEncrypted(int32_t error) {
  return error == E_CRCERROR || error == E_READ || error == E_INVALIDCODE || error == E_BADDECODETREE;
}

bool isArcType(TArcType t) {
  const TArcType p = plainType(t);
  return p == atARC || p == atPAK;
}

}  // namespace

int32_t TUnARC::activate() {
  if (!beginRun()) return 0;
  if (!isArcType(arcType_)) {
    raiseError(arcType_ == atFileError ? E_OPEN : E_INVALIDTYPE);
    return endRun();
  }
  // The entries as the walk sees them; a header that does not fit is
  // reported and ends the list, the entries before it are extracted.
  const std::vector<ArcEntry> entries = walkedEntries(false);

  vz::File file;
  if (!entries.empty() && !file.open(archiveFile_, vz::File::Mode::Read)) {
    raiseError(E_OPEN);
    return endRun();
  }
  int32_t recNum = 0;
  PasswordLoop passwords;
  for (const ArcEntry& e : entries) {
    ++recNum;
    if (!wanted(e.fileName)) continue;
    if (e.method < 1 || e.method > kHighestMethod) {
      raiseError(E_UNSUPPORTEDMETHOD);
      continue;
    }
    ExtractItem item;
    item.name = e.fileName;
    item.recNum = recNum;
    item.size = item.limit = static_cast<uint64_t>(e.unpackedSize);
    if (const auto t = vz::fromLocalTime(e.dateTime)) item.mtime = *t;
    std::unique_ptr<EntrySink> sink = beginEntry(item);
    if (!sink) continue;
    // Decodes the entry (with key: through ARC's password) into sink; the
    // error to report, 0 when the bytes and their CRC are right.
    auto decode = [&](engine::DecodeOutput& to, const std::string* key) {
      ArchiveInput in(file, e.dataOffset, static_cast<uint64_t>(e.packedSize));
      codecs::ArcKeyInput keyed(in, key ? *key : std::string());
      codecs::ArcCrcOutput out(to);
      int32_t error = errorOf(codecs::decodeArcEntry(static_cast<uint8_t>(e.method),
                                                     key ? static_cast<engine::DecodeInput&>(keyed) : in, out),
                              to);
      if (error == 0 && (out.total() != item.size || out.crc() != e.crc)) error = E_CRCERROR;
      return error;
    };
    int32_t error = decode(*sink, nullptr);
    // No header marks an encrypted entry: one that fails is tried with the
    // passwords (as given, then upper-cased as the ARC program keeps them)
    // when there are any to try; otherwise its own error stands.
    std::string key, chosen;
    auto opens = [&](const std::string& p) {
      std::string upper = p;
      for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      std::vector<std::string> keys = {p};
      if (upper != p) keys.push_back(upper);
      for (const std::string& k : keys) {
        DiscardOutput trial;
        trial.setLimit(item.size);
        if (decode(trial, &k) == 0) {
          key = k;
          return true;
        }
      }
      return false;
    };
    if (mayBeEncrypted(error) && (!Passwords.empty() || OnGetPassword)) passwords.find(*this, item.name, opens, chosen);
    if (!key.empty()) {
      sink = restartEntry(std::move(sink));
      if (!sink) continue;
      error = decode(*sink, &key);
    }
    finishEntry(std::move(sink), error);
  }
  return endRun();
}

}  // namespace vz::readers
