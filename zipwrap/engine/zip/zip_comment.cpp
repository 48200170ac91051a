// The archive comment (-z): the host gives the new comment through callback
// 140 (status 0: no comment, the comment is removed). Only the end record
// changes: with -g the archive is cut after its directory and gets the new
// end record there; otherwise the entries are copied unchanged into a new
// archive that takes the old one's place. A missing archive: 100.
#include "zipwrap/engine/zip/zip_ops.h"
#include "zipwrap/engine/zip/zip_update.h"

namespace vz::zipwrap {

OpResult runWriteComment(const EngineCommand& command, EngineHost& host) {
  ArchiveUpdate update(command, host);
  if (const uint16_t r = update.open(true); r != kResultOk) return {r, 0};
  std::string comment;
  bool given = false;
  if (!host.askArchiveComment(comment, given)) return {kResultAborted, 0};
  if (!given) comment.clear();
  if (comment.size() > 0xFFFF) comment.resize(0xFFFF);
  if (update.old().exists && update.old().fileSize > 0 && comment == update.old().catalogue.comment)
    return {kResultOk, 0};
  if (const uint16_t r = update.beginBuild(command.inPlace); r != kResultOk) return {r, 0};
  for (const engine::ArchiveEntry* e = update.old().catalogue.entries.first(); e; e = e->next.get())
    if (const uint16_t r = update.keepEntry(*e); r != kResultOk) return {r, 0};
  if (const uint16_t r = update.commit(comment); r != kResultOk) return {r, 0};
  return {kResultOk, 0};
}

}  // namespace vz::zipwrap
