// Helpers of the item-list tests: comparing two ZIPITEMs field by field.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "control/engine/format/zip_item.h"

namespace vz::test {

// Every field of got equals the same field of want; context names the case.
inline void expectSameItem(const engine::ZIPITEM& got, const engine::ZIPITEM& want, const std::string& context) {
  SCOPED_TRACE(context);
  EXPECT_EQ(got.name, want.name);
  EXPECT_EQ(got.directory, want.directory);
  EXPECT_EQ(got.isDirectory, want.isDirectory);
  EXPECT_EQ(got.isEncrypted, want.isEncrypted);
  EXPECT_EQ(got.method, want.method);
  EXPECT_EQ(got.day, want.day);
  EXPECT_EQ(got.month, want.month);
  EXPECT_EQ(got.year, want.year);
  EXPECT_EQ(got.hour, want.hour);
  EXPECT_EQ(got.minute, want.minute);
  EXPECT_EQ(got.originalSize, want.originalSize);
  EXPECT_EQ(got.rate, want.rate);
  EXPECT_EQ(got.isArchive, want.isArchive);
  EXPECT_EQ(got.isHidden, want.isHidden);
  EXPECT_EQ(got.isSystem, want.isSystem);
  EXPECT_EQ(got.isReadOnly, want.isReadOnly);
  EXPECT_EQ(got.isAnnotated, want.isAnnotated);
  EXPECT_EQ(got.iconIndex, want.iconIndex);
  EXPECT_EQ(got.crc, want.crc);
}

}  // namespace vz::test
