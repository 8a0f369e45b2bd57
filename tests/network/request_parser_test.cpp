#include "network/request_parser.h"

#include <QList>

#include <gtest/gtest.h>

#include <random>

namespace {

using Kind = NetworkRequest::Kind;

// Steps written as text: a character as itself, {+2} and {-2} for speed steps, {~} and {tune N}.
std::string describe(const std::vector<KeyingStep> &steps)
{
    std::string text;
    for (const KeyingStep &step : steps) {
        switch (step.kind) {
        case KeyingStep::Kind::Character:
            text += char(step.value);
            break;
        case KeyingStep::Kind::Speed:
            text += step.value > 0 ? "{+" + std::to_string(step.value) + "}"
                                   : "{" + std::to_string(step.value) + "}";
            break;
        case KeyingStep::Kind::HalfSpace:
            text += "{~}";
            break;
        case KeyingStep::Kind::Tune:
            text += "{tune " + std::to_string(step.value) + "}";
            break;
        }
    }
    return text;
}

struct RequestCase
{
    QByteArray datagram;
    Kind kind;
    char letter = 0;
    int value = 0;
    QByteArray text = {};
};

class RequestTest : public ::testing::TestWithParam<RequestCase>
{
};

TEST_P(RequestTest, ReadsTheRequestAndItsValue)
{
    const RequestCase &c = GetParam();
    const NetworkRequest request = RequestParser::parse(c.datagram);
    EXPECT_EQ(request.kind, c.kind);
    EXPECT_EQ(request.letter, c.letter);
    EXPECT_EQ(request.value, c.value);
    EXPECT_EQ(request.text, c.text);
}

QByteArray esc(const char *rest)
{
    return QByteArray("\x1b") + rest;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Requests, RequestTest, ::testing::Values(
    RequestCase{"",                        Kind::Empty},
    RequestCase{QByteArray("\0cq", 3),     Kind::Empty},
    RequestCase{QByteArray("cq\0\x1b" "5", 5), Kind::Text, 0, 0, "cq"},
    RequestCase{"cq de ab1cd",             Kind::Text, 0, 0, "cq de ab1cd"},
    RequestCase{"tu 5nn^",                 Kind::Text, 0, 0, "tu 5nn"},
    RequestCase{"e^e",                     Kind::Text, 0, 0, "e"},
    RequestCase{esc(""),                   Kind::Unknown},
    RequestCase{esc("0"),                  Kind::Reset, '0'},
    RequestCase{esc("225"),                Kind::Speed, '2', 25},
    RequestCase{esc("2 30"),               Kind::Speed, '2', 30},
    RequestCase{esc("2+30\r\n"),           Kind::Speed, '2', 30},
    RequestCase{esc("24"),                 Kind::Speed, '2', 4},
    RequestCase{esc("260"),                Kind::Speed, '2', 60},
    RequestCase{esc("23"),                 Kind::Malformed, '2', 0, "3"},
    RequestCase{esc("261"),                Kind::Malformed, '2', 0, "61"},
    RequestCase{esc("2"),                  Kind::Malformed, '2', 0, ""},
    RequestCase{esc("240x"),               Kind::Malformed, '2', 0, "40x"},
    RequestCase{esc("2-5"),                Kind::Malformed, '2', 0, "-5"},
    RequestCase{esc("2 2 0"),              Kind::Malformed, '2', 0, " 2 0"},
    RequestCase{esc("299999999999999"),    Kind::Malformed, '2', 0, "99999999999999"},
    RequestCase{esc("4"),                  Kind::Abort, '4'},
    RequestCase{esc("5"),                  Kind::Exit, '5'},
    RequestCase{esc("750"),                Kind::Weighting, '7', 50},
    RequestCase{esc("7-50"),               Kind::Weighting, '7', -50},
    RequestCase{esc("70"),                 Kind::Weighting, '7', 0},
    RequestCase{esc("751"),                Kind::Malformed, '7', 0, "51"},
    RequestCase{esc("7"),                  Kind::Malformed, '7', 0, ""},
    RequestCase{esc("8ttyS0"),             Kind::Device, '8', 0, "ttyS0"},
    RequestCase{esc("c10"),                Kind::Tune, 'c', 10},
    RequestCase{esc("c0"),                 Kind::Tune, 'c', 0},
    RequestCase{esc("c11"),                Kind::Malformed, 'c', 0, "11"},
    RequestCase{esc("c-1"),                Kind::Malformed, 'c', 0, "-1"},
    RequestCase{esc("hdone"),              Kind::Reply, 'h', 0, "done"},
    RequestCase{esc("h"),                  Kind::Reply, 'h', 0, ""},
    RequestCase{esc("3800"),               Kind::Ignored, '3'},
    RequestCase{esc("6"),                  Kind::Ignored, '6'},
    RequestCase{esc("96789"),              Kind::Ignored, '9'},
    RequestCase{esc("a1"),                 Kind::Ptt, 'a', 1},
    RequestCase{esc("a0"),                 Kind::Ptt, 'a', 0},
    RequestCase{esc("a2"),                 Kind::Malformed, 'a', 0, "2"},
    RequestCase{esc("b0"),                 Kind::Ignored, 'b'},
    RequestCase{esc("d50"),                Kind::PttDelay, 'd', 50},
    RequestCase{esc("d51"),                Kind::Malformed, 'd', 0, "51"},
    RequestCase{esc("e3"),                 Kind::Ignored, 'e'},
    RequestCase{esc("fp"),                 Kind::Ignored, 'f'},
    RequestCase{esc("g70"),                Kind::Ignored, 'g'},
    RequestCase{esc("z"),                  Kind::Unknown, 'z'},
    RequestCase{esc("C5"),                 Kind::Unknown, 'C'},
    RequestCase{esc("\xff"),               Kind::Unknown, '\xff'},
    RequestCase{esc("\x1b" "4"),           Kind::Unknown, '\x1b'}));
// clang-format on

TEST(RequestParserTest, CaretAsksForTheTextBackAndEndsIt)
{
    for (const char *datagram : {"tu^", "tu^ignored", "^"}) {
        const NetworkRequest request = RequestParser::parse(datagram);
        EXPECT_TRUE(request.replyWanted) << datagram;
        EXPECT_EQ(describe(request.steps), QByteArray(datagram).split('^').front().toUpper().toStdString());
    }
    EXPECT_FALSE(RequestParser::parse("tu").replyWanted);
}

struct StepsCase
{
    QByteArray text;
    std::string steps;
    int skipped = 0;
};

class StepsTest : public ::testing::TestWithParam<StepsCase>
{
};

TEST_P(StepsTest, KeysTheTextsOwnCharactersAndMarks)
{
    int skipped = -1;
    EXPECT_EQ(describe(RequestParser::steps(GetParam().text, &skipped)), GetParam().steps);
    EXPECT_EQ(skipped, GetParam().skipped);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Texts, StepsTest, ::testing::Values(
    StepsCase{"cq de ab1cd",        "CQ DE AB1CD"},
    StepsCase{"*",                  "%AR%"},
    StepsCase{"=",                  "%BT%"},
    StepsCase{"<",                  "%SK%"},
    StepsCase{"(",                  "%KN%"},
    StepsCase{"!",                  "%SN%"},
    StepsCase{"&",                  "%AS%"},
    StepsCase{">",                  "%BK%"},
    StepsCase{"tu 5nn+tu-",         "TU 5NN{+2}TU{-2}"},
    StepsCase{"e~e",                "E{~}E"},
    StepsCase{".,?/')\":;@_",       ".,?/')\":;@_"},
    StepsCase{"a%b#c$",             "ABC", 3},
    StepsCase{"\t\r\n",             "", 1},
    StepsCase{"TEST DE AB1CD K\n",  "TEST DE AB1CD K"},   // as TLF sends its messages
    StepsCase{"\xc3\xa9t",          "T", 2},   // UTF-8 of an accented letter
    StepsCase{QByteArray("a\0b", 3), "AB", 1},
    StepsCase{"",                   ""}));
// clang-format on

// Bytes of any kind: the steps never name a character that the text did not hold (prosigns excepted),
// and never more than four steps for a byte.
TEST(RequestParserTest, HostileBytesKeyOnlyTheTextsOwnCharacters)
{
    std::mt19937 random(13);
    for (int round = 0; round < 2000; ++round) {
        QByteArray datagram(int(random() % 600), Qt::Uninitialized);
        for (char &byte : datagram)
            byte = char(random() % (round % 2 ? 256 : 64));
        const NetworkRequest request = RequestParser::parse(datagram);
        EXPECT_LE(qsizetype(request.steps.size()), 4 * datagram.size());
        EXPECT_TRUE(datagram.startsWith(request.text) || request.kind != Kind::Text);
        for (const KeyingStep &step : request.steps) {
            if (step.kind != KeyingStep::Kind::Character)
                continue;
            const char c = char(step.value);
            const bool fromProsign = c == '%' || QByteArray("ARBTSKNB").contains(c);
            EXPECT_TRUE(request.text.toUpper().contains(c) || fromProsign) << int(c);
            EXPECT_TRUE(c >= 32 && c < 127) << int(c);
        }
    }
}

} // namespace
