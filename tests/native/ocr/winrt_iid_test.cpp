#include "ocr/winrt_iid.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace tovasen {
namespace {

std::string Hex(const std::array<std::uint8_t, 20>& digest) {
    std::string text;
    char two[3];
    for (std::uint8_t b : digest) {
        std::snprintf(two, sizeof two, "%02x", b);
        text += two;
    }
    return text;
}

TEST(Sha1, KnownDigests) {
    EXPECT_EQ("da39a3ee5e6b4b0d3255bfef95601890afd80709", Hex(Sha1("")));
    EXPECT_EQ("a9993e364706816aba3e25717850c26c9cd0d89d", Hex(Sha1("abc")));
    // Two blocks, and a length that puts the padding right at a block edge.
    EXPECT_EQ("84983e441c3bd26ebaae4aa1f95129e5e54670f1",
              Hex(Sha1("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")));
    EXPECT_EQ("34aa973cd4c4daa4f61eeb2bdbad27316534016f", Hex(Sha1(std::string(1000000, 'a'))));
}

TEST(WinRtIid, GuidsParseAndPrintAsSignaturesSpellThem) {
    const TGuid g = ParseGuid("{5BFFA85A-3384-3540-9940-699120D428A8}");
    EXPECT_EQ(0x5bffa85au, g.Data1);
    EXPECT_EQ(0x3384, g.Data2);
    EXPECT_EQ(0x3540, g.Data3);
    EXPECT_EQ(0x99, g.Data4[0]);
    EXPECT_EQ(0xa8, g.Data4[7]);
    EXPECT_EQ("{5bffa85a-3384-3540-9940-699120d428a8}", GuidSignature(g));
    EXPECT_EQ(g, ParseGuid("5bffa85a-3384-3540-9940-699120d428a8"));
    EXPECT_THROW(ParseGuid("5bffa85a-3384-3540-9940-699120d428a"), std::invalid_argument);
    EXPECT_THROW(ParseGuid("5bffa85a-3384-3540-9940x699120d428a8"), std::invalid_argument);
    EXPECT_THROW(ParseGuid("5bffa85a-3384-3540-9940-699120d428ag"), std::invalid_argument);
}

TEST(WinRtIid, DerivedIdentifiersMatchThePublishedOnes) {
    const TGuid ocrResult = ParseGuid("9bd235b2-175b-3d6a-92e2-388c206e2f63");
    const std::string result = RuntimeClassSignature("Windows.Media.Ocr.OcrResult", ocrResult);
    EXPECT_EQ("rc(Windows.Media.Ocr.OcrResult;{9bd235b2-175b-3d6a-92e2-388c206e2f63})", result);
    // The completion handler's identifier, as the platform documents it.
    const TGuid handler = ParameterizedIid(
        InterfaceSignature(ParseGuid("fcdcf02c-e5d8-4478-915a-4d90b74b83a5"), {result}));
    EXPECT_EQ(ParseGuid("989c1371-444a-5e7e-b197-9eaaf9d2829a"), handler) << GuidSignature(handler);
    // IVectorView<HSTRING> and IReference<double>.
    const TGuid vectorView = ParseGuid("bbe1fa4c-b0e3-4583-baef-1f1b2e483e56");
    EXPECT_EQ(ParseGuid("2f13c006-a03a-5f69-b090-75a43e33423e"),
              ParameterizedIid(InterfaceSignature(vectorView, {kStringSignature})));
    EXPECT_EQ(ParseGuid("2f2d6c29-5473-5f3e-92e7-96572bb990e2"),
              ParameterizedIid(InterfaceSignature(ParseGuid("61c17706-2d65-11e0-9ae8-d48564015472"),
                                                  {kDoubleSignature})));
}

}  // namespace
}  // namespace tovasen
