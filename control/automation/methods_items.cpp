// The item lists of an archive for the host: building, accessors, sorting,
// icons and the temporary folders. The work is the engine's (item_list.h,
// item_icons.h); the handlers run the call frame where the method takes
// bBackGroundProcessing, and answer with the method's failure value when
// the reader state could not be made with the control.
#include <algorithm>
#include <limits>

#include "control/automation/call_frame.h"
#include "control/automation/control.h"
#include "control/automation/methods.h"
#include "control/engine/items/item_icons.h"
#include "control/engine/items/item_list.h"

namespace vz::control {

namespace {

using com::Variant;
using engine::ZIPITEM;

// BuildZIPITEMList(szZipName, hListZIPITEM, bListCtrlMode, szPrivateTempDirectory, bWindowsIcons,
//                  iSortMode, bBackGroundProcessing)
Variant buildItemList(CZCtrl& c, const Args& a) {
  if (!beginCall(c, EngineSide::Reader, a.flag(6))) return Variant::fromShort(-1);
  engine::ItemListRequest r;
  r.zipName = a.text(0);
  r.list = a.i4(1);
  r.listView = a.flag(2);
  r.privateTempDirectory = a.text(3);
  r.systemIcons = a.flag(4);
  r.sortMode = a.i2(5);
  const int result = engine::buildItemList(*c.readerState(), r);
  // The method's result is a short; a count beyond it is reported as its
  // largest value.
  return Variant::fromShort(static_cast<int16_t>(std::min<int>(result, std::numeric_limits<int16_t>::max())));
}

// SortZIPITEMList(hListZIPITEM, iSortMode, bBackGroundProcessing)
Variant sortItemList(CZCtrl& c, const Args& a) {
  if (!beginCall(c, EngineSide::Reader, a.flag(2))) return Variant::fromBool(false);
  return Variant::fromBool(engine::sortItemList(*c.readerState(), a.i4(0), a.i2(1)));
}

// The accessors (hListZIPITEM, iIndex, bListCtrlMode): one field of the
// item, the failure value when the item cannot be read.
std::optional<ZIPITEM> itemOf(const Args& a) { return engine::readItem(a.i4(0), a.i2(1), a.flag(2)); }

template <int32_t ZIPITEM::*Field>
Variant itemFlag(CZCtrl&, const Args& a) {
  const auto item = itemOf(a);
  return Variant::fromBool(item && (*item).*Field != 0);
}

template <int32_t ZIPITEM::*Field>
Variant itemShort(CZCtrl&, const Args& a) {
  const auto item = itemOf(a);
  return Variant::fromShort(item ? static_cast<int16_t>((*item).*Field) : int16_t{0});
}

// The size travels as a 32-bit long: sizes above 2,147,483,647 keep their
// bits (a host reads them back as unsigned).
Variant itemOriginalSize(CZCtrl&, const Args& a) {
  const auto item = itemOf(a);
  return Variant::fromLong(item ? static_cast<int32_t>(item->originalSize) : 0);
}

Variant itemCrc(CZCtrl&, const Args& a) {
  const auto item = itemOf(a);
  return Variant::fromDouble(item ? static_cast<double>(item->crc) : 0.0);
}

Variant itemName(CZCtrl&, const Args& a) {
  auto item = itemOf(a);
  return Variant::fromText(item ? std::move(item->name) : std::string());
}

Variant itemDirectory(CZCtrl&, const Args& a) {
  auto item = itemOf(a);
  return Variant::fromText(item ? std::move(item->directory) : std::string());
}

// BuildZIPITEMImageList()
Variant buildImageList(CZCtrl& c, const Args&) {
  engine::UnzipState* st = c.readerState();
  return Variant::fromBool(st && engine::buildItemImageLists(*st));
}

// DestroyZIPITEMImageList(): true also when there were none; false only
// without the reader state.
Variant destroyImageList(CZCtrl& c, const Args&) {
  engine::UnzipState* st = c.readerState();
  return Variant::fromBool(st && engine::destroyItemImageLists(*st));
}

// GetZIPITEMHImageList(bBigIcons): the large or small list, 0 when none
// was built.
Variant getImageList(CZCtrl& c, const Args& a) {
  const engine::UnzipState* st = c.readerState();
  return Variant::fromLong(st ? engine::itemImageList(*st, a.flag(0)) : 0);
}

// SetListViewImageList(hListView)
Variant setListViewImageList(CZCtrl& c, const Args& a) {
  const engine::UnzipState* st = c.readerState();
  return Variant::fromBool(st && engine::setListViewImageLists(*st, a.i4(0)));
}

// DestroyZIPITEMLParam(hListZIPITEM)
Variant destroyItemLParam(CZCtrl&, const Args& a) {
  engine::destroyItemBlocks(a.i4(0));
  return {};
}

// DeleteTempDirectories()
Variant deleteTempDirectories(CZCtrl&, const Args&) { return Variant::fromBool(engine::deleteTempDirectories()); }

constexpr MethodEntry kTable[] = {
    {13, itemFlag<&ZIPITEM::isDirectory>},
    {14, itemFlag<&ZIPITEM::isEncrypted>},
    {15, itemFlag<&ZIPITEM::isArchive>},
    {16, itemFlag<&ZIPITEM::isHidden>},
    {17, itemFlag<&ZIPITEM::isSystem>},
    {18, itemFlag<&ZIPITEM::isReadOnly>},
    {19, itemFlag<&ZIPITEM::isAnnotated>},
    {20, itemShort<&ZIPITEM::method>},
    {21, itemShort<&ZIPITEM::day>},
    {22, itemShort<&ZIPITEM::month>},
    {23, itemShort<&ZIPITEM::year>},
    {24, itemShort<&ZIPITEM::hour>},
    {25, itemShort<&ZIPITEM::minute>},
    {26, itemShort<&ZIPITEM::rate>},
    {27, itemShort<&ZIPITEM::iconIndex>},
    {28, itemOriginalSize},
    {29, itemCrc},
    {31, buildImageList},
    {32, destroyImageList},
    {33, destroyItemLParam},
    {42, sortItemList},
    {65, buildItemList},
    {67, itemName},
    {68, itemDirectory},
    {69, getImageList},
    {70, deleteTempDirectories},
    {71, setListViewImageList},
};

}  // namespace

std::span<const MethodEntry> itemListMethods() { return kTable; }

}  // namespace vz::control
