#include "run/output_name.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace pelmoro {
namespace {

struct NameCase {
  const char* label;
  const char* given;
  const char* expected;
};

// Test names and failure output show the case by its label.
void PrintTo(const NameCase& c, std::ostream* os) { *os << c.label; }

class ProposeOutputNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(ProposeOutputNameTest, ReplacesEverythingAfterTheLastDot) {
  EXPECT_EQ(ProposeOutputName(GetParam().given), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Proposals, ProposeOutputNameTest,
    ::testing::Values(NameCase{"WindowsPath", "C:\\data\\part.stl", "C:\\data\\part.hzm"},
                      NameCase{"DotInFolderOnly", "C:\\my.data\\part", "C:\\my.hzm"},
                      NameCase{"NoDotAtAll", "part", "hzm"},
                      NameCase{"PosixPath", "/srv/models/relief.stl", "/srv/models/relief.hzm"},
                      NameCase{"TwoExtensions", "a.b.stl", "a.b.hzm"},
                      NameCase{"EndsInDot", "part.", "part.hzm"},
                      NameCase{"HiddenFile", "/home/u/.stl", "/home/u/.hzm"},
                      NameCase{"MultiByteName", "/d/\xe9\x83\xa8\xe5\x93\x81.stl",
                               "/d/\xe9\x83\xa8\xe5\x93\x81.hzm"},
                      NameCase{"Empty", "", "hzm"}),
    [](const auto& info) { return std::string(info.param.label); });

class ApplyExtensionRuleTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(ApplyExtensionRuleTest, AppendsHzmUnlessThreeBytesFollowTheLastDot) {
  EXPECT_EQ(ApplyExtensionRule(GetParam().given), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    ConfirmedNames, ApplyExtensionRuleTest,
    ::testing::Values(NameCase{"NoExtension", "result", "result.hzm"},
                      NameCase{"TwoByteExtension", "result.hz", "result.hz.hzm"},
                      NameCase{"FourByteExtension", "result.hzml", "result.hzml.hzm"},
                      NameCase{"OneByteExtensions", "a.b.c", "a.b.c.hzm"},
                      NameCase{"HzmKept", "result.hzm", "result.hzm"},
                      NameCase{"OtherThreeByteExtensionKept", "result.txt", "result.txt"},
                      NameCase{"DotInFolderOnly", "/my.dir/result", "/my.dir/result.hzm"},
                      // Any three bytes after the last "." count, a folder separator too.
                      NameCase{"ThreeBytesAfterFolderDot", "/a.b/c", "/a.b/c"},
                      NameCase{"FolderDotFurtherBack", "/x.y/abc", "/x.y/abc.hzm"},
                      NameCase{"EndsInDot", "result.", "result..hzm"},
                      NameCase{"ProposalOfDotlessInput", "/work/hzm", "/work/hzm.hzm"}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace pelmoro
