// readiness_report.exe's JSON encoder on the awkward strings that
// report_json_test.js gives the JScript report's, and on every kind of value
// the report writes; its JSON must be the script's byte for byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "samples/json_text.h"
#include "samples/number_text.h"

namespace {

std::wstring AllControls()
{
    std::wstring text;
    for (wchar_t code = 0; code <= 0x1F; ++code) {
        text += code;
    }
    return text;
}

TEST(JsonString, AwkwardStrings)
{
    const struct {
        std::wstring text;
        const wchar_t* encoded;
    } cases[] = {
        {L"\"", LR"("\"")"},
        {L"\\", LR"("\\")"},
        {L"\\\"quoted\\\"", LR"("\\\"quoted\\\"")"},
        {AllControls(), LR"("\u0000\u0001\u0002\u0003\u0004\u0005\u0006\u0007\u0008\u0009)"
                        LR"(\u000A\u000B\u000C\u000D\u000E\u000F\u0010\u0011\u0012\u0013)"
                        LR"(\u0014\u0015\u0016\u0017\u0018\u0019\u001A\u001B\u001C\u001D)"
                        LR"(\u001E\u001F")"},
        {std::wstring(L"a\0b", 3), LR"("a\u0000b")"},
        {L"\u2028\u2029", LR"("\u2028\u2029")"},
        {L"\u00e9\u00df\u00fc\u0142\u0416\u05d0\u4e2d",
         LR"("\u00E9\u00DF\u00FC\u0142\u0416\u05D0\u4E2D")"},
        {L"\xd83d\xde00 \xd835\xdc00", LR"("\uD83D\uDE00 \uD835\uDC00")"},
        {L"/ \x7f \x80 \xffff", LR"("/ \u007F \u0080 \uFFFF")"},
        {L"", LR"("")"},
    };
    for (const auto& test : cases) {
        EXPECT_EQ(test.encoded, JsonString(test.text));
    }
}

TEST(JsonObject, EveryKindOfValueInOrder)
{
    JsonObject answer;
    answer.Null(L"value").Text(L"hresult", L"0x80070002");
    JsonObject report;
    report.Number(L"n", -2147483647LL - 1)
        .Boolean(L"t", true)
        .Boolean(L"f", false)
        .Object(L"o", answer)
        .Object(L"e", JsonObject())
        .Texts(L"a", {L"\u00e9", L"b"})
        .Texts(L"z", {});
    EXPECT_EQ(LR"({"n":-2147483648,"t":true,"f":false,"o":{"value":null,"hresult":"0x80070002"},)"
              LR"("e":{},"a":["\u00E9","b"],"z":[]})",
              report.Encoded());
}

TEST(NumberText, DecimalAndHexadecimal)
{
    EXPECT_EQ(L"0", DecimalText(0));
    EXPECT_EQ(L"528040", DecimalText(528040));
    EXPECT_EQ(L"-1", DecimalText(-1));
    EXPECT_EQ(L"-2147023293", DecimalText(-2147023293LL));
    EXPECT_EQ(L"-9223372036854775808", DecimalText(-9223372036854775807LL - 1));
    EXPECT_EQ(L"00000000", HexText(0, 8));
    EXPECT_EQ(L"80070643", HexText(0x80070643ul, 8));
    EXPECT_EQ(L"00E9", HexText(0xE9, 4));
    EXPECT_EQ(L"FFFF", HexText(0xFFFF, 4));
    // The width is a minimum: no digit is ever cut.
    EXPECT_EQ(L"12345", HexText(0x12345, 4));
}

} // namespace
