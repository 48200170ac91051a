// The AES extra field: the walk over an extra block finds the 0x9901 record
// among others and refuses the malformed ones.
#include "zipwrap/engine/methods/aes_extra.h"

#include <gtest/gtest.h>

#include <vector>


namespace vz::zipwrap {
namespace {

struct ExtraCase {
  const char* what;
  std::vector<uint8_t> extra;
  AesExtraStatus status;
  AesEntryInfo info;  // when Found
};

// An extended-time record (0x5455) to stand in front.
const std::vector<uint8_t> kTime = {0x55, 0x54, 5, 0, 1, 0x10, 0x20, 0x30, 0x40};

std::vector<uint8_t> join(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class AesExtraTable : public ::testing::TestWithParam<ExtraCase> {};

TEST_P(AesExtraTable, ReadsTheField) {
  AesEntryInfo info;
  ASSERT_EQ(readAesExtra(GetParam().extra, info), GetParam().status);
  if (GetParam().status == AesExtraStatus::Found) {
    EXPECT_EQ(info.version, GetParam().info.version);
    EXPECT_EQ(info.strength, GetParam().info.strength);
    EXPECT_EQ(info.method, GetParam().info.method);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AesExtraTable,
    ::testing::Values(
        ExtraCase{"ae2_aes256_bzip2", {0x01, 0x99, 7, 0, 2, 0, 'A', 'E', 3, 12, 0}, AesExtraStatus::Found, {2, 3, 12}},
        ExtraCase{"ae1_aes128_deflate_after_time",
                  join(kTime, {0x01, 0x99, 7, 0, 1, 0, 'A', 'E', 1, 8, 0}),
                  AesExtraStatus::Found,
                  {1, 1, 8}},
        ExtraCase{
            "longer_field_zstd", {0x01, 0x99, 8, 0, 2, 0, 'A', 'E', 2, 93, 0, 0xFF}, AesExtraStatus::Found, {2, 2, 93}},
        ExtraCase{"empty", {}, AesExtraStatus::Missing, {}},
        ExtraCase{"other_records_only", kTime, AesExtraStatus::Missing, {}},
        ExtraCase{"record_past_the_block", {0x55, 0x54, 40, 0, 1, 0x01, 0x99, 7, 0}, AesExtraStatus::Missing, {}},
        ExtraCase{"field_cut_short", {0x01, 0x99, 7, 0, 2, 0, 'A', 'E', 3, 12}, AesExtraStatus::Missing, {}},
        ExtraCase{"field_too_small", {0x01, 0x99, 6, 0, 2, 0, 'A', 'E', 3, 12}, AesExtraStatus::Malformed, {}},
        ExtraCase{"version_3", {0x01, 0x99, 7, 0, 3, 0, 'A', 'E', 3, 12, 0}, AesExtraStatus::Malformed, {}},
        ExtraCase{"other_vendor", {0x01, 0x99, 7, 0, 2, 0, 'A', 'F', 3, 12, 0}, AesExtraStatus::Malformed, {}},
        ExtraCase{"strength_0", {0x01, 0x99, 7, 0, 2, 0, 'A', 'E', 0, 12, 0}, AesExtraStatus::Malformed, {}},
        ExtraCase{"strength_4", {0x01, 0x99, 7, 0, 2, 0, 'A', 'E', 4, 12, 0}, AesExtraStatus::Malformed, {}}),
    [](const ::testing::TestParamInfo<ExtraCase>& p) { return std::string(p.param.what); });

}  // namespace
}  // namespace vz::zipwrap
