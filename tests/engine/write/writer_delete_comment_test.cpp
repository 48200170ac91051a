// Deleting entries (by mask and by the host's selection), the archive and
// file comments, and the empty archive: results, what the rewritten
// archive holds, and that entries copied from other programs' archives
// keep their names, extra fields, comments and descriptors byte for byte.
#include <memory>

#include "control/engine/items/item_line.h"
#include "control/engine/items/item_list.h"
#include "control/engine/read/read_methods.h"
#include "control/engine/common/unzip_state.h"
#include "control/engine/write/zip_writer_file.h"
#include "platform/handles.h"
#include "tests/engine/write/writer_test_util.h"

namespace vz::test {
namespace {

class DeleteAndComment : public WriterTest {
 protected:
  // An archive as another program writes it: lower-case names, extra
  // fields, an entry comment, a data descriptor, an archive comment.
  std::string foreignArchive() {
    ZipBuilder b;
    TestEntry a;
    a.name = "docs/readme.txt";
    a.data = "read me";
    a.localExtra = std::string("\x55\x54\x05\x00\x01\x00\x00\x00\x00", 9);
    a.centralExtra = std::string("\x55\x54\x05\x00\x01\x00\x00\x00\x00", 9);
    a.comment = "the first";
    TestEntry c;
    c.name = "docs/other.doc";
    c.data = "other";
    c.flags = 0x0008;
    c.descriptor = true;
    TestEntry d;
    d.name = "top.txt";
    d.data = "top";
    TestEntry dir;
    dir.name = "docs/";
    dir.externalAttributes = 0x10;
    b.entries = {a, c, d, dir};
    b.comment = "archive comment";
    const std::string path = dir_.file("foreign.zip");
    put(path, b.build());
    return path;
  }
};

TEST_F(DeleteAndComment, DeleteWithMaskRemovesTheMatchingEntriesOnly) {
  const std::string a = foreignArchive();
  ASSERT_EQ(viewArchive(a).status, engine::CatalogueStatus::Ok);
  const std::string before = fileText(a);
  EXPECT_EQ(engine::deleteWithMask(engine_, "", "*.*"), engine::WriteStatus::NothingToDo);
  EXPECT_EQ(engine::deleteWithMask(engine_, a, ""), engine::WriteStatus::NothingToDo);
  EXPECT_EQ(engine::deleteWithMask(engine_, a, "*.PDF"), engine::WriteStatus::NothingToDo);
  EXPECT_EQ(fileText(a), before);

  WriterEvents events;
  engine_.window = events.window();
  // A mask without a folder matches the last component in every folder.
  EXPECT_EQ(engine::deleteWithMask(engine_, a, "*.TXT"), engine::WriteStatus::Ok);
  EXPECT_EQ(viewArchive(a).names(), (std::vector<std::string>{"docs/other.doc", "docs/"}));
  ASSERT_EQ(events.of(engine::kNotifyDeleting).size(), 2u);
  EXPECT_EQ(events.of(engine::kNotifyDeleting)[0].text, "docs/readme.txt");
  EXPECT_EQ(events.of(engine::kNotifyWriting).size(), 1u);
  EXPECT_EQ(peerComplaints(a), "");

  // A mask with a folder takes only that folder's entries.
  put(a, before);
  EXPECT_EQ(engine::deleteWithMask(engine_, a, "C:\\OTHER\\*.TXT"), engine::WriteStatus::NothingToDo);
  EXPECT_EQ(engine::deleteWithMask(engine_, a, "docs/*.txt"), engine::WriteStatus::Ok);
  EXPECT_EQ(viewArchive(a).names(), (std::vector<std::string>{"docs/other.doc", "top.txt", "docs/"}));

  // The kept entries are the other program's bytes: names, extra fields,
  // comments, descriptor and archive comment as they were.
  const ArchiveView v = viewArchive(a);
  EXPECT_EQ(v.comment, "archive comment");
  EXPECT_EQ(v.find("docs/other.doc")->descriptorSize, 16u);
  EXPECT_NE(fileText(a).find("other"), std::string::npos);

  // Everything gone: the end record alone, with the comment.
  EXPECT_EQ(engine::deleteWithMask(engine_, a, "*.*"), engine::WriteStatus::Ok);
  EXPECT_EQ(fileText(a).size(), 22u + 15u);
  EXPECT_EQ(viewArchive(a).status, engine::CatalogueStatus::Ok);
  EXPECT_EQ(engine::deleteWithMask(engine_, a, "*.*"), engine::WriteStatus::NothingToDo);
}

TEST_F(DeleteAndComment, DeleteWithSelectionInBothListModes) {
  const std::string a = foreignArchive();
  const std::string before = fileText(a);
  engine::UnzipState st;
  st.pump = false;

  // List box: the item list, and a second list box holding the selected lines.
  auto list = std::make_shared<ListBox>();
  const Handle hList = handles::add(list);
  engine::ItemListRequest rq;
  rq.zipName = a;
  rq.list = hList;
  rq.sortMode = -1;
  ASSERT_EQ(engine::buildItemList(st, rq), 0);
  ASSERT_EQ(list->count(), 4);
  auto selected = std::make_shared<ListBox>();
  const Handle hSel = handles::add(selected);
  EXPECT_EQ(engine::deleteWithSelection(engine_, a, hList, hSel, false),
            engine::WriteStatus::NothingToDo);  // nothing selected
  for (int i = 0; i < list->count(); ++i)
    if (list->text(i)->ends_with(":README.TXT") || list->text(i)->ends_with(":TOP.TXT")) selected->add(*list->text(i));
  ASSERT_EQ(selected->count(), 2);
  EXPECT_EQ(engine::deleteWithSelection(engine_, a, hList, hSel, false), engine::WriteStatus::Ok);
  EXPECT_EQ(viewArchive(a).names(), (std::vector<std::string>{"docs/other.doc", "docs/"}));
  // An out-of-date line (another CRC) removes nothing.
  put(a, before);
  selected->reset();
  std::string stale = *list->text(0);
  engine::ZIPITEM item;
  ASSERT_TRUE(engine::parseItemLine(stale, item));
  item.crc ^= 1;
  selected->add(engine::formatItemLine(item));
  EXPECT_EQ(engine::deleteWithSelection(engine_, a, hList, hSel, false), engine::WriteStatus::NothingToDo);
  // Every line selected: every entry goes.
  selected->reset();
  for (int i = 0; i < list->count(); ++i) selected->add(*list->text(i));
  EXPECT_EQ(engine::deleteWithSelection(engine_, a, hList, hSel, false), engine::WriteStatus::Ok);
  EXPECT_TRUE(viewArchive(a).entries.empty());

  // List view: the rows' selected flags.
  put(a, before);
  auto view = std::make_shared<ListView>();
  const Handle hView = handles::add(view);
  rq.list = hView;
  rq.listView = true;
  ASSERT_EQ(engine::buildItemList(st, rq), 0);
  ASSERT_EQ(view->count(), 4);
  EXPECT_EQ(engine::deleteWithSelection(engine_, a, hView, 0, true), engine::WriteStatus::NothingToDo);
  for (int i = 0; i < view->count(); ++i) {
    const auto it = engine::readItem(hView, i, true);
    ASSERT_TRUE(it);
    view->row(i)->selected = it->name == "OTHER.DOC";
  }
  EXPECT_EQ(engine::deleteWithSelection(engine_, a, hView, 0, true), engine::WriteStatus::Ok);
  EXPECT_EQ(viewArchive(a).names(), (std::vector<std::string>{"docs/readme.txt", "top.txt", "docs/"}));
  EXPECT_EQ(peerComplaints(a), "");
  engine::destroyItemBlocks(hView);
  // A handle that is not a list selects nothing.
  EXPECT_EQ(engine::deleteWithSelection(engine_, a, 0, 0, true), engine::WriteStatus::NothingToDo);
  EXPECT_EQ(engine::deleteWithSelection(engine_, a, hList, 12345, false), engine::WriteStatus::NothingToDo);
  handles::destroy(hList);
  handles::destroy(hSel);
  handles::destroy(hView);
}

TEST_F(DeleteAndComment, GlobalCommentRules) {
  const std::string a = foreignArchive();
  const std::string before = fileText(a);
  EXPECT_EQ(engine::setGlobalComment(engine_, "", "x"), engine::WriteStatus::NothingToDo);
  EXPECT_EQ(engine::setGlobalComment(engine_, a, std::string(32768, 'c')), engine::WriteStatus::CommentTooLong);
  // Four-byte characters: 20,000 of them are fewer than 32,768 characters
  // but more bytes than the field holds.
  std::string wide;
  for (int i = 0; i < 20000; ++i) wide += "\xF0\x9F\x98\x80";
  EXPECT_EQ(engine::setGlobalComment(engine_, a, wide), engine::WriteStatus::CommentTooLong);
  EXPECT_EQ(fileText(a), before);
  EXPECT_EQ(engine::setGlobalComment(engine_, dir_.file("missing.zip"), "x"), engine::WriteStatus::IoError);

  EXPECT_EQ(engine::setGlobalComment(engine_, a, std::string(32767, 'c')), engine::WriteStatus::Ok);
  EXPECT_EQ(viewArchive(a).comment.size(), 32767u);
  // Unequal counts of line feeds and returns: every line feed gets a return behind it.
  EXPECT_EQ(engine::setGlobalComment(engine_, a, "one\ntwo\r\nthree\n"), engine::WriteStatus::Ok);
  EXPECT_EQ(viewArchive(a).comment, "one\n\rtwo\r\n\rthree\n\r");
  EXPECT_EQ(engine::setGlobalComment(engine_, a, "one\r\ntwo"), engine::WriteStatus::Ok);
  EXPECT_EQ(viewArchive(a).comment, "one\r\ntwo");
  // UTF-8 text reads back as it was set.
  EXPECT_EQ(engine::setGlobalComment(engine_, a, "na\xC3\xAFve \xE2\x82\xAC"), engine::WriteStatus::Ok);
  engine::UnzipState st;
  EXPECT_EQ(engine::getGlobalComment(st, a, 1000), "na\xC3\xAFve \xE2\x82\xAC");
  EXPECT_EQ(engine::setGlobalComment(engine_, a, ""), engine::WriteStatus::Ok);
  EXPECT_EQ(viewArchive(a).comment, "");
  EXPECT_EQ(viewArchive(a).names(),
            (std::vector<std::string>{"docs/readme.txt", "docs/other.doc", "top.txt", "docs/"}));
  EXPECT_EQ(peerComplaints(a), "");
}

TEST_F(DeleteAndComment, LocalComments) {
  const std::string a = foreignArchive();
  EXPECT_EQ(engine::setLocalComment(engine_, a, "", "x"), engine::WriteStatus::NothingToDo);
  EXPECT_EQ(engine::setLocalComment(engine_, a, "*.PDF", "x"), engine::WriteStatus::NothingToDo);
  EXPECT_EQ(engine::setLocalComment(engine_, a, "*.TXT", std::string(40000, 'x')), engine::WriteStatus::CommentTooLong);
  EXPECT_EQ(engine::setLocalComment(engine_, a, "docs\\readme.txt", "new note"), engine::WriteStatus::Ok);
  ArchiveView v = viewArchive(a);
  EXPECT_EQ(v.find("docs/readme.txt")->comment, "new note");
  EXPECT_EQ(v.find("top.txt")->comment, "");
  EXPECT_EQ(engine::setLocalComment(engine_, a, "*.TXT", "both"), engine::WriteStatus::Ok);
  v = viewArchive(a);
  EXPECT_EQ(v.find("docs/readme.txt")->comment, "both");
  EXPECT_EQ(v.find("top.txt")->comment, "both");
  engine::UnzipState st;
  EXPECT_EQ(engine::getLocalComment(st, a, "TOP.TXT", 100), "both");
  EXPECT_EQ(peerComplaints(a), "");
}

TEST_F(DeleteAndComment, BlankArchive) {
  const std::string a = dir_.file("blank.zip");
  ASSERT_TRUE(engine::createBlankArchive(a, false));
  const std::string bytes = fileText(a);
  ASSERT_EQ(bytes.size(), 22u);
  EXPECT_EQ(bytes, std::string("PK\x05\x06", 4) + std::string(18, '\0'));
  EXPECT_EQ(viewArchive(a).status, engine::CatalogueStatus::Ok);
  engine::UnzipState st;
  EXPECT_EQ(engine::isZipFileQuick(st, a), engine::ReadStatus::Ok);
  EXPECT_EQ(engine::getCount(st, a), 0);
  // An existing file is replaced only when asked (the dialog's question).
  const std::string other = foreignArchive();
  const std::string before = fileText(other);
  EXPECT_FALSE(engine::createBlankArchive(other, false));
  EXPECT_EQ(fileText(other), before);
  EXPECT_TRUE(engine::createBlankArchive(other, true));
  EXPECT_EQ(fileText(other).size(), 22u);
  EXPECT_FALSE(engine::createBlankArchive("", true));
  EXPECT_FALSE(engine::createBlankArchive(dir_.path(), true));
  // Files can be added to it.
  put(dir_.file("src/A.TXT"), "a");
  EXPECT_EQ(zip(a, dir_.file("src/*.*")), 0);
  EXPECT_EQ(viewArchive(a).names(), std::vector<std::string>{"A.TXT"});
}

TEST_F(DeleteAndComment, ArchiveBehindAPrefixKeepsItsPrefix) {
  ZipBuilder b;
  b.prefix = std::string(1000, 'S');  // a self-extractor's stub, offsets adjusted
  TestEntry one;
  one.name = "ONE.TXT";
  one.data = "1";
  TestEntry two;
  two.name = "TWO.TXT";
  two.data = "2";
  b.entries = {one, two};
  const std::string a = dir_.file("sfx.zip");
  put(a, b.build());
  ASSERT_EQ(viewArchive(a).status, engine::CatalogueStatus::Ok);
  EXPECT_EQ(engine::deleteWithMask(engine_, a, "ONE.TXT"), engine::WriteStatus::Ok);
  const std::string bytes = fileText(a);
  EXPECT_EQ(bytes.substr(0, 1000), std::string(1000, 'S'));
  EXPECT_EQ(viewArchive(a).names(), std::vector<std::string>{"TWO.TXT"});
  if (haveProgram("unzip")) {
    EXPECT_EQ(run({"unzip", "-t", "-qq", a}), 0);
  }
}

}  // namespace
}  // namespace vz::test
