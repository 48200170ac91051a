// TZipWrapper's engine callback: pump the application's messages, raise the
// event of the code, write the handler's answer back into the engine's
// record, and reply 1 (stop) when Abort is set. Records follow
// engine_abi.h; a null record is ignored (the reply still counts).
#include <algorithm>
#include <cstring>

#include "platform/window.h"
#include "zipwrap/zip_wrapper.h"
#include "zipwrap/zip_wrapper_records.h"

namespace vz::zipwrap {

uint32_t TZipWrapper::engineCallback(uint32_t code, void* record, void* user) {
  auto* self = static_cast<TZipWrapper*>(user);
  if (self == nullptr) return kReplyContinue;
  vz::pumpMessages();
  try {
    if (record != nullptr) self->dispatch(code, record);
  } catch (...) {
    // A handler's exception must not cross the engine: it stops the run.
    self->Abort = true;
  }
  return self->Abort ? kReplyStop : kReplyContinue;
}

void TZipWrapper::dispatch(uint32_t code, void* record) {
  auto fileEvent = [&](const FileStatsEvent& handler) {
    if (handler) handler(*this, fileStatsFromRecord(*static_cast<const ZwFileRecord*>(record)));
  };
  auto nameEvent = [&](const FileNameEvent& handler) {
    if (handler) handler(*this, std::string(static_cast<const char*>(record)));
  };
  auto text = [](const char* p) { return std::string(p != nullptr ? p : ""); };

  switch (code) {
    case kCbReplace: {
      if (!OnReplace) return;
      auto* r = static_cast<ZwReplaceRecord*>(record);
      TZwReplace q{text(r->fileName), "", r->answer};
      OnReplace(*this, q);
      copyToBuffer(r->newName, kZwNameBufferSize, q.NewName, kZwNameBufferSize - 1);
      r->answer = q.Answer;
      return;
    }
    case kCbTesting:
      return fileEvent(OnTesting);
    case kCbExtracting:
      return fileEvent(OnExtracting);
    case kCbEntryCount:
      EntryCount = static_cast<int32_t>(static_cast<const ZwCountRecord*>(record)->entries);
      return;
    case kCbListing:
      return fileEvent(OnListing);
    case kCbTotals:
      Totals = fileStatsFromRecord(*static_cast<const ZwFileRecord*>(record));
      return;
    case kCbPassword: {
      auto* r = static_cast<ZwPasswordRecord*>(record);
      if (!Password.empty()) {
        copyToBuffer(r->password, kZwPasswordBufferSize, Password, kZwPasswordMaxLength);
        r->answer = 2;
        return;
      }
      if (!OnPwdQuery) return;
      TZwPwdQuery q{text(r->fileName), "", r->answer};
      OnPwdQuery(*this, q);
      copyToBuffer(r->password, kZwPasswordBufferSize, q.Password, kZwPasswordMaxLength);
      r->answer = q.Answer;
      return;
    }
    case kCbNewDisk:
      if (OnNewdisk) OnNewdisk(*this, static_cast<int>(static_cast<const ZwDiskRecord*>(record)->disk));
      return;
    case kCbFileComment: {
      if (!OnFileComment) return;
      auto* r = static_cast<ZwCommentRecord*>(record);
      TZwFileComment c{text(r->fileName), ""};
      OnFileComment(*this, c);
      r->length = static_cast<uint8_t>(copyToBuffer(r->buffer, kZwCommentBufferSize, c.Comment, kZwCommentMaxLength));
      return;
    }
    case kCbArchiveCommentOut: {
      const auto* r = static_cast<const ZwArchiveCommentOut*>(record);
      const std::string_view delivered = r->text != nullptr ? std::string_view(r->text, r->length) : std::string_view();
      ArchiveComment = std::string(cutText(delivered, kZwCommentMaxLength));
      return;
    }
    case kCbArchiveCommentIn: {
      auto* r = static_cast<ZwArchiveCommentIn*>(record);
      r->length =
          static_cast<uint16_t>(copyToBuffer(r->buffer, kZwCommentBufferSize, ArchiveComment, kZwCommentMaxLength));
      r->status = 1;
      return;
    }
    case kCbUpdating:
      return fileEvent(OnUpdating);
    case kCbAdding:
      return fileEvent(OnAdding);
    case kCbDeleting:
      return nameEvent(OnDeleting);
    case kCbStatus:
      return fileEvent(OnStatus);
    case kCbSkipping:
      if (OnSkippingFile) {
        const auto* r = static_cast<const ZwSkipRecord*>(record);
        OnSkippingFile(*this, TZwSkipping{text(r->fileName), r->reason});
      }
      return;
    case kCbFixing:
      return nameEvent(OnFixing);
    default:
      return;  // a code this component does not know: nothing to do
  }
}

}  // namespace vz::zipwrap
