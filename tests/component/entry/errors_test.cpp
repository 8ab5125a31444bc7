// The component's exception: the table of named result codes, the composed
// description and its fallback to the platform's text.
#include "errors/result_code_table.h"
#include "errors/wma_exception.h"
#include "platform/dshow.h"
#include "platform/wmsdk.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

std::string CodeTextOf(HRESULT code) {
    std::string text;
    EXPECT_TRUE(LookupResultCode(code, &text));
    return text;
}

TEST(ResultCodeTable, HasFiftyEightUniqueRowsAndATerminator) {
    std::set<HRESULT> codes;
    int rows = 0;
    for (const ResultCodeRow* row = ResultCodeTable; row->name != nullptr; ++row) {
        ASSERT_NE(row->description, nullptr) << row->name;
        codes.insert(row->code);
        ++rows;
    }
    EXPECT_EQ(rows, 58);
    EXPECT_EQ(codes.size(), 58u);
    const ResultCodeRow& end = ResultCodeTable[kResultCodeCount];
    EXPECT_EQ(end.code, 0);
    EXPECT_EQ(end.description, nullptr);
}

TEST(ResultCodeTable, KeepsItsOrder) {
    EXPECT_STREQ(ResultCodeTable[0].name, "ASF_E_ALREADYINITIALIZED");
    EXPECT_STREQ(ResultCodeTable[38].name, "ASF_E_WRONGVERSION");
    EXPECT_STREQ(ResultCodeTable[39].name, "E_FAIL");
    EXPECT_STREQ(ResultCodeTable[44].name, "E_UNEXPECTED");
    EXPECT_STREQ(ResultCodeTable[45].name, "NS_E_BUSY");
    EXPECT_STREQ(ResultCodeTable[57].name, "NS_E_INVALID_NUM_PASSES");
}

// Every code the platform declares under a name of the table must be the
// table's code for that name.
TEST(ResultCodeTable, AgreesWithThePlatformConstants) {
    const struct {
        HRESULT code;
        const char* name;
    } declared[] = {
        {E_FAIL, "E_FAIL"},
        {E_INVALIDARG, "E_INVALIDARG"},
        {E_NOTIMPL, "E_NOTIMPL"},
        {E_OUTOFMEMORY, "E_OUTOFMEMORY"},
        {E_POINTER, "E_POINTER"},
        {E_UNEXPECTED, "E_UNEXPECTED"},
        {NS_E_BUSY, "NS_E_BUSY"},
        {NS_E_FILE_OPEN_FAILED, "NS_E_FILE_OPEN_FAILED"},
        {NS_E_FILE_WRITE, "NS_E_FILE_WRITE"},
        {NS_E_INVALID_DATA, "NS_E_INVALID_DATA"},
        {NS_E_INVALID_OUTPUT_FORMAT, "NS_E_INVALID_OUTPUT_FORMAT"},
        {NS_E_INVALID_REQUEST, "NS_E_INVALID_REQUEST"},
        {NS_E_INVALIDPROFILE, "NS_E_INVALIDPROFILE"},
        {NS_E_NOT_CONFIGURED, "NS_E_NOT_CONFIGURED"},
        {NS_E_TOO_MUCH_DATA, "NS_E_TOO_MUCH_DATA"},
        {ASF_E_BUFFERTOOSMALL, "ASF_E_BUFFERTOOSMALL"},
        {ASF_E_NOTFOUND, "ASF_E_NOTFOUND"},
    };
    for (const auto& constant : declared) {
        const std::string text = CodeTextOf(constant.code);
        EXPECT_EQ(text.substr(0, text.find(" - ")), constant.name);
    }
}

TEST(LookupResultCode, NamesAndDescribesATableCode) {
    EXPECT_EQ(CodeTextOf(MakeResult(0xC00D0BC6)),
              "NS_E_INVALIDPROFILE - The profile is not valid.");
    EXPECT_EQ(CodeTextOf(MakeResult(0xC00D07F7)),
              "ASF_E_ALREADYINITIALIZED - This object has already been initialized; the setting "
              "cannot be changed.");
}

TEST(LookupResultCode, EndsInTheSeparatorForAnEmptyDescription) {
    EXPECT_EQ(CodeTextOf(MakeResult(0xC00D0BCC)), "NS_E_TOO_MUCH_DATA - ");
    EXPECT_EQ(CodeTextOf(MakeResult(0xC00D002E)), "NS_E_LATE_OPERATION - ");
}

TEST(LookupResultCode, TwoCodesShareOneDescription) {
    EXPECT_EQ(CodeTextOf(E_FAIL), "E_FAIL - Unspecified error.");
    EXPECT_EQ(CodeTextOf(E_UNEXPECTED), "E_UNEXPECTED - Unspecified error.");
}

TEST(LookupResultCode, LeavesTheTextAloneForAnUnknownCode) {
    std::string text = "untouched";
    EXPECT_FALSE(LookupResultCode(VFW_E_NOT_CONNECTED, &text));
    EXPECT_FALSE(LookupResultCode(S_OK, &text));
    EXPECT_EQ(text, "untouched");
    EXPECT_FALSE(LookupResultCode(E_FAIL, nullptr));
}

TEST(CWMAException, DescribesATableCode) {
    const CWMAException failure("Unable to connect source and WM Asf Writer filters.", E_FAIL,
                                "DShowWMAEncoder", 120);
    EXPECT_EQ(failure.Description(),
              "CWMAException Message: 'Unable to connect source and WM Asf Writer filters.' "
              "Error Code: 'E_FAIL - Unspecified error.' - 0x80004005");
    EXPECT_EQ(failure.Message(), "Unable to connect source and WM Asf Writer filters.");
    EXPECT_EQ(failure.Code(), E_FAIL);
    EXPECT_EQ(failure.SourceFile(), "DShowWMAEncoder");
    EXPECT_EQ(failure.SourceLine(), 120);
}

TEST(CWMAException, FallsBackToThePlatformTextOutsideTheTable) {
    char platformText[256] = {};
    AMGetErrorTextA(VFW_E_NOT_CONNECTED, platformText, 255);
    ASSERT_STRNE(platformText, "") << "the platform names 0x80040209";
    const CWMAException failure("Failed to setup encoding chain.", VFW_E_NOT_CONNECTED, "ostrel",
                                7);
    EXPECT_EQ(failure.Description(), std::string("CWMAException Message: 'Failed to setup encoding "
                                                 "chain.' Error Code: '") +
                                         platformText + "' - 0x80040209");
}

TEST(CWMAException, LeavesTheCodeTextEmptyWhenNobodyKnowsTheCode) {
    const HRESULT unknown = MakeResult(0xA0B0C0D0);
    char platformText[256] = {};
    ASSERT_EQ(AMGetErrorTextA(unknown, platformText, 255), 0u);
    const CWMAException failure("Failed to set attribute.", unknown, "ostrel", 1);
    EXPECT_EQ(failure.Description(),
              "CWMAException Message: 'Failed to set attribute.' Error Code: '' - 0xA0B0C0D0");
}

TEST(CWMAException, WritesTheCodeInHexWithoutLeadingZeros) {
    const CWMAException failure("m", S_FALSE, "f", 1);
    EXPECT_EQ(failure.Description().substr(failure.Description().size() - 4), " 0x1");
}

TEST(CWMAException, CutsTheDescriptionAt1023Characters) {
    const std::string message(2000, 'm');
    const CWMAException failure(message, NS_E_INVALIDPROFILE, "WMAPresetLoader", 3);
    const std::string expectedStart = "CWMAException Message: '" + message;
    ASSERT_EQ(failure.Description().size(), 1023u);
    EXPECT_EQ(failure.Description(), expectedStart.substr(0, 1023));

    // A description of exactly 1023 characters stays whole.
    const std::string frame = "CWMAException Message: '' Error Code: 'E_FAIL - Unspecified "
                              "error.' - 0x80004005";
    const std::string fits(1023 - frame.size(), 'x');
    const CWMAException whole(fits, E_FAIL, "f", 1);
    EXPECT_EQ(whole.Description().size(), 1023u);
    EXPECT_EQ(whole.Description().substr(whole.Description().size() - 10), "0x80004005");
}

TEST(CWMAException, WhatIsAlwaysTheClassName) {
    const CWMAException failure("Failed to load selected profile.", E_FAIL, "ostrel", 9);
    EXPECT_STREQ(failure.what(), "CWMAException");
    const std::runtime_error& asBase = failure;
    EXPECT_STREQ(asBase.what(), "CWMAException");
}

TEST(CWMAException, CopiesAndReassigns) {
    CWMAException failure("first", E_FAIL, "ostrel", 1);
    const CWMAException copy = failure;
    failure.Assign("second", NS_E_INVALIDPROFILE, "WMAPresetLoader", 2);
    EXPECT_NE(copy.Description().find("'first'"), std::string::npos);
    EXPECT_NE(failure.Description().find("'second'"), std::string::npos);
    EXPECT_NE(failure.Description().find("NS_E_INVALIDPROFILE"), std::string::npos);
    EXPECT_EQ(failure.SourceLine(), 2);
}

} // namespace
