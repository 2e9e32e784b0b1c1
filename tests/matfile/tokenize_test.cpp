// Tokenizer rules: blanks, separators, comments, slot and length limits.
#include "matfile/tokenize.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testutil.h"

namespace {

struct Tokenized {
    int result;
    int count;
    std::vector<std::string> words;
    std::string report;
};

Tokenized split(const std::string &line, int slots = 10, int slot_len = 150)
{
    std::vector<std::vector<char>> storage(slots, std::vector<char>(slot_len, 'X'));
    std::vector<char *> ptrs;
    for (auto &s : storage)
        ptrs.push_back(s.data());
    ReportCapture capture;
    Tokenized t;
    t.count = slots;
    t.result = tokenize(line.c_str(), &t.count, slot_len, ptrs.data());
    if (t.result == 0)
        for (int i = 0; i < t.count; i++)
            t.words.push_back(ptrs[i]);
    t.report = capture.take();
    return t;
}

const char *kSeparatorMessage = "Unexpected input: \n\t(1)Input Line should not start with seperator or\n"
                                "\t(2) Two seperators should not appear in sequence.\n";

TEST(Tokenize, EmptyBlankAndCommentLinesHaveNoTokens)
{
    for (const char *line : {"", "\n", "    \t  \n", "# a comment < > =\n", "   # indented\n"}) {
        Tokenized t = split(line);
        EXPECT_EQ(t.result, 0) << line;
        EXPECT_EQ(t.count, 0) << line;
        EXPECT_EQ(t.report, "");
    }
}

TEST(Tokenize, SeparatorsAreTokensWithOrWithoutBlanks)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(split("Tries=3\n").words, (V{"Tries", "=", "3"}));
    EXPECT_EQ(split("Tries = 3\n").words, (V{"Tries", "=", "3"}));
    EXPECT_EQ(split("\tX<file.mat#comment\n").words, (V{"X", "<", "file.mat"}));
    EXPECT_EQ(split("Predict < in > out\n").words, (V{"Predict", "<", "in", ">", "out"}));
    // A line that ends in a separator keeps it as the last token.
    Tokenized t = split("X <\n");
    EXPECT_EQ(t.result, 0);
    EXPECT_EQ(t.words, (V{"X", "<"}));
}

TEST(Tokenize, SeparatorAtStartOrTwoInSequenceIsRefused)
{
    for (const char *line : {"=3\n", "  < file\n", "X <>\n", "X < >\n", "X<\t>y\n", "a = = b\n"}) {
        Tokenized t = split(line);
        EXPECT_EQ(t.result, 1) << line;
        EXPECT_EQ(t.count, 10) << "count left as on entry";
        EXPECT_EQ(t.report, kSeparatorMessage);
    }
}

TEST(Tokenize, AtMostOneTokenFewerThanSlots)
{
    Tokenized nine = split("a b c d e f g h i\n");
    EXPECT_EQ(nine.result, 0);
    EXPECT_EQ(nine.count, 9);
    Tokenized ten = split("a b c d e f g h i j\n");
    EXPECT_EQ(ten.result, 2);
    EXPECT_EQ(ten.count, 10);
    EXPECT_EQ(ten.report, "More Tokens in line than code can handle\n");
    // A separator can be the token that reaches the limit.
    Tokenized sep = split("a b c d e f g h i=\n");
    EXPECT_EQ(sep.result, 2);
}

// CRLF line ends are plain line ends; a carriage return elsewhere is a word
// character.
TEST(Tokenize, CarriageReturnBeforeTheLineEndEndsTheLine)
{
    struct { const char *line; std::vector<std::string> words; } cases[] = {
        {"1.5 2.5\r\n", {"1.5", "2.5"}},
        {"1.5 2.5\r", {"1.5", "2.5"}},
        {"X < a.mat\r\n", {"X", "<", "a.mat"}},
        {"x = 1 \r\n", {"x", "=", "1"}},
        {"\r\n", {}},
        {"a\rb c\r\n", {"a\rb", "c"}},
        {"a \r\r\n", {"a", "\r"}},
    };
    for (const auto &c : cases) {
        Tokenized t = split(c.line);
        EXPECT_EQ(t.result, 0) << c.line;
        EXPECT_EQ(t.words, c.words) << c.line;
    }
}

TEST(Tokenize, WordLengthLimit)
{
    Tokenized ok = split(std::string(28, 'w') + "\n", 30, 30);
    EXPECT_EQ(ok.result, 0);
    EXPECT_EQ(ok.words[0].size(), 28u);
    // One more is refused, not fatal, and silent: the caller names the file
    // and line.
    for (const std::string &line : {std::string(29, 'w') + "\n", "a " + std::string(40, 'w') + " b\n"}) {
        Tokenized long_word = split(line, 30, 30);
        EXPECT_EQ(long_word.result, TOKEN_TOO_LONG);
        EXPECT_EQ(long_word.count, 30);
        EXPECT_EQ(long_word.report, "");
    }
}

TEST(Tokenize, NonAsciiBytesAreWordCharacters)
{
    Tokenized t = split("\x01\xff\x7f x\n");
    ASSERT_EQ(t.count, 2);
    EXPECT_EQ(t.words[0], "\x01\xff\x7f");
}

} // namespace
