#include "workspace/LineReader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace tarsel {
namespace {

std::vector<std::string> Pieces(const std::string& text) {
    LineReader reader(text);
    LineReader::Buffer line;
    std::vector<std::string> out;
    while (reader.ReadLine(line))
        out.emplace_back(line);
    return out;
}

TEST(LineReader, TakesAtMost119CharactersPerRead) {
    const std::string fits(118, 'a');
    EXPECT_EQ(Pieces(fits + "\n"), std::vector<std::string>{fits + "\n"});

    // 119 characters fill the buffer; the line feed is left for the next read.
    const std::string full(119, 'b');
    EXPECT_EQ(Pieces(full + "\nnext\n"), (std::vector<std::string>{full, "\n", "next\n"}));

    const std::string longLine(250, 'c');
    EXPECT_EQ(Pieces(longLine + "\n"),
              (std::vector<std::string>{std::string(119, 'c'), std::string(119, 'c'),
                                        std::string(12, 'c') + "\n"}));
}

TEST(LineReader, CrLfReadsAsLf) {
    EXPECT_EQ(Pieces("one\r\ntwo\r\n"), (std::vector<std::string>{"one\n", "two\n"}));
    // The CR of a CR LF pair does not count toward the 119 characters.
    const std::string fits(118, 'a');
    EXPECT_EQ(Pieces(fits + "\r\n"), std::vector<std::string>{fits + "\n"});
    // A lone CR is an ordinary character.
    EXPECT_EQ(Pieces("a\rb\n"), std::vector<std::string>{"a\rb\n"});
    EXPECT_EQ(Pieces("end\r"), std::vector<std::string>{"end\r"});
}

TEST(LineReader, EndOfTextLeavesTheBufferAlone) {
    LineReader reader("last");
    LineReader::Buffer line;
    ASSERT_TRUE(reader.ReadLine(line));
    EXPECT_STREQ(line, "last");
    EXPECT_FALSE(reader.ReadLine(line));
    EXPECT_STREQ(line, "last");
    EXPECT_TRUE(Pieces("").empty());
}

TEST(LineReader, AStreamReadsLikeItsText) {
    const std::string texts[] = {
        "one\r\ntwo\r\n",
        std::string(118, 'a') + "\r\n",
        std::string(119, 'b') + "\r\nx",
        std::string(250, 'c'),
        "a\rb\n\r",
        "",
    };
    for (const std::string& text : texts) {
        std::FILE* f = text.empty() ? std::tmpfile()
                                    : fmemopen(const_cast<char*>(text.data()), text.size(), "rb");
        ASSERT_NE(f, nullptr);
        LineReader reader(f);
        LineReader::Buffer line;
        std::vector<std::string> pieces;
        while (reader.ReadLine(line))
            pieces.emplace_back(line);
        std::fclose(f);
        EXPECT_EQ(pieces, Pieces(text)) << text;
    }
}

TEST(LineReader, CountsTextLinesNotPieces) {
    const std::string text = std::string(200, 'x') + "\nsecond\n";
    LineReader reader(text);
    LineReader::Buffer line;
    reader.ReadLine(line);
    EXPECT_EQ(reader.LineNumber(), 1);
    reader.ReadLine(line);
    EXPECT_EQ(reader.LineNumber(), 1);
    reader.ReadLine(line);
    EXPECT_EQ(reader.LineNumber(), 2);
}

}  // namespace
}  // namespace tarsel
