// A child's output as text: UTF-8 kept, GBK converted, characters cut by piece boundaries kept
// whole.
#include "util/ExecOutput.h"

#include <gtest/gtest.h>

using namespace tvn;

namespace {

const std::string kGbkChinese = "\xD6\xD0\xCE\xC4"; // 中文 in GBK

std::string streamed(const std::string& bytes, size_t pieceSize)
{
    OutputPieces pieces;
    std::string text;
    for (size_t at = 0; at < bytes.size(); at += pieceSize)
        text += "|" + pieces.next(std::string_view(bytes).substr(at, pieceSize));
    return text + "|" + pieces.finish();
}

} // namespace

TEST(ExecOutput, WholeOutput)
{
    EXPECT_EQ(outputText("hi\r\n"), "hi\r\n");
    EXPECT_EQ(outputText("中文"), "中文");
    EXPECT_EQ(outputText(kGbkChinese + " ok"), "中文 ok");
    EXPECT_EQ(upToFirstNul(std::string_view("ab\0cd", 5)), "ab");

    // Handed on read by read: a character split between reads comes whole with the read that ends
    // it; GBK found at any read replaces what was handed on.
    WholeOutput output;
    const auto handedOn = [&output](std::string_view piece) -> std::string {
        const WholeOutput::Part part = output.append(piece);
        return part ? *part : "(none)";
    };
    EXPECT_EQ(handedOn("a\xE4"), "a");
    EXPECT_EQ(handedOn("\xB8\xAD!"), "中!");
    EXPECT_EQ(output.finish(), std::nullopt); // the parts are the output
    EXPECT_EQ(handedOn("ok "), "ok ");
    EXPECT_EQ(handedOn(kGbkChinese.substr(0, 3)), "(none)");
    EXPECT_EQ(handedOn(kGbkChinese.substr(3)), "(none)");
    EXPECT_EQ(output.finish(), "ok 中文");
    EXPECT_EQ(handedOn("\xE4\xB8"), "(none)"); // ends inside a character: not UTF-8 after all
    EXPECT_EQ(output.finish(), "涓");
    EXPECT_EQ(output.finish(), std::nullopt);
    EXPECT_EQ(upToFirstNul("abc"), "abc");
}

TEST(ExecOutput, CutCharactersArriveWhole)
{
    // "中" is three bytes in UTF-8: every cut inside it moves the whole character to the next piece.
    EXPECT_EQ(streamed("a中b", 2), "|a|中|b|");
    EXPECT_EQ(streamed("中文", 1), "|||中|||文|");
    EXPECT_EQ(streamed("😀x", 3), "||😀x|");
    // GBK: a lead byte at a piece's end waits for its second byte.
    EXPECT_EQ(streamed("x" + kGbkChinese, 2), "|x|中|文|");
    // Output that ends inside a character: the held bytes still come out (here they read as GBK).
    EXPECT_EQ(streamed("ok\xE4\xB8", 3), "|ok||涓");
}
