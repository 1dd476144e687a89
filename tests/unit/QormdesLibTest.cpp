#include "QormdesLib.h"
#include "FastBlockCipher.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <stdexcept>
#include <vector>

using namespace QormdesLib;
using testsupport::FromHex;
using testsupport::ToHex;

namespace {

struct KnownAnswer {
    const char* key;
    const char* plain;
    const char* cipher;
};

// Enciphers and deciphers one block under `key` through the module's round-key table.
std::string CryptHex(const std::string& keyHex, const std::string& inHex,
                     CryptDirection direction) {
    const std::string key = FromHex(keyHex);
    MakeSubkeys(reinterpret_cast<const std::uint8_t*>(key.data()), SubkeyTable);
    Block in;
    std::memcpy(in.data(), FromHex(inHex).data(), 8);
    std::uint8_t out[8];
    CryptBlock(direction, in, out);
    return ToHex(std::string(reinterpret_cast<const char*>(out), 8));
}

void CheckTable(const char* source, const std::vector<KnownAnswer>& rows) {
    for (std::size_t row = 0; row < rows.size(); ++row) {
        const KnownAnswer& r = rows[row];
        SCOPED_TRACE(std::string(source) + " row " + std::to_string(row));
        EXPECT_EQ(CryptHex(r.key, r.plain, CryptDirection::Encrypt), r.cipher);
        EXPECT_EQ(CryptHex(r.key, r.cipher, CryptDirection::Decrypt), r.plain);
    }
}

// NBS SP 500-20 / NIST SP 800-17, table B.1: variable plaintext, key 0101010101010101.
// Row i has plaintext bit i+1 set.
const char* const kVariablePlaintext[64] = {
    "95F8A5E5DD31D900", "DD7F121CA5015619", "2E8653104F3834EA", "4BD388FF6CD81D4F",
    "20B9E767B2FB1456", "55579380D77138EF", "6CC5DEFAAF04512F", "0D9F279BA5D87260",
    "D9031B0271BD5A0A", "424250B37C3DD951", "B8061B7ECD9A21E5", "F15D0F286B65BD28",
    "ADD0CC8D6E5DEBA1", "E6D5F82752AD63D1", "ECBFE3BD3F591A5E", "F356834379D165CD",
    "2B9F982F20037FA9", "889DE068A16F0BE6", "E19E275D846A1298", "329A8ED523D71AEC",
    "E7FCE22557D23C97", "12A9F5817FF2D65D", "A484C3AD38DC9C19", "FBE00A8A1EF8AD72",
    "750D079407521363", "64FEED9C724C2FAF", "F02B263B328E2B60", "9D64555A9A10B852",
    "D106FF0BED5255D7", "E1652C6B138C64A5", "E428581186EC8F46", "AEB5F5EDE22D1A36",
    "E943D7568AEC0C5C", "DF98C8276F54B04B", "B160E4680F6C696F", "FA0752B07D9C4AB8",
    "CA3A2B036DBC8502", "5E0905517BB59BCF", "814EEB3B91D90726", "4D49DB1532919C9F",
    "25EB5FC3F8CF0621", "AB6A20C0620D1C6F", "79E90DBC98F92CCA", "866ECEDD8072BB0E",
    "8B54536F2F3E64A8", "EA51D3975595B86B", "CAFFC6AC4542DE31", "8DD45A2DDF90796C",
    "1029D55E880EC2D0", "5D86CB23639DBEA9", "1D1CA853AE7C0C5F", "CE332329248F3228",
    "8405D1ABE24FB942", "E643D78090CA4207", "48221B9937748A23", "DD7C0BBD61FAFD54",
    "2FBC291A570DB5C4", "E07C30D7E4E26E12", "0953E2258E8E90A1", "5B711BC4CEEBF2EE",
    "CC083F1E6D9E85F6", "D2FD8867D50D2DFE", "06E7EA22CE92708F", "166B40B44ABA4BD6",
};

// Table B.2: variable key, plaintext 0000000000000000. Row 7*b + j sets bit j+1
// of key byte b (the parity bits stay out); the other bytes are 01.
const char* const kVariableKey[56] = {
    "95A8D72813DAA94D", "0EEC1487DD8C26D5", "7AD16FFB79C45926", "D3746294CA6A6CF3",
    "809F5F873C1FD761", "C02FAFFEC989D1FC", "4615AA1D33E72F10", "2055123350C00858",
    "DF3B99D6577397C8", "31FE17369B5288C9", "DFDD3CC64DAE1642", "178C83CE2B399D94",
    "50F636324A9B7F80", "A8468EE3BC18F06D", "A2DC9E92FD3CDE92", "CAC09F797D031287",
    "90BA680B22AEB525", "CE7A24F350E280B6", "882BFF0AA01A0B87", "25610288924511C2",
    "C71516C29C75D170", "5199C29A52C9F059", "C22F0A294A71F29F", "EE371483714C02EA",
    "A81FBD448F9E522F", "4F644C92E192DFED", "1AFA9A66A6DF92AE", "B3C1CC715CB879D8",
    "19D032E64AB0BD8B", "3CFAA7A7DC8720DC", "B7265F7F447AC6F3", "9DB73B3C0D163F54",
    "8181B65BABF4A975", "93C9B64042EAA240", "5570530829705592", "8638809E878787A0",
    "41B9A79AF79AC208", "7A9BE42F2009A892", "29038D56BA6D2745", "5495C6ABF1E5DF51",
    "AE13DBD561488933", "024D1FFA8904E389", "D1399712F99BF02E", "14C1D7C1CFFEC79E",
    "1DE5279DAE3BED6F", "E941A33F85501303", "DA99DBBC9A03F379", "B7FC92F91D8E92E9",
    "AE8E5CAA3CA04E85", "9CC62DF43B6EED74", "D863DBB5C59A91A0", "A1AB2190545B91D7",
    "0875041E64C570F7", "5A594528BEBEF1CC", "FCDB3291DE21F0C0", "869EFD7F9F265A09",
};

// Table B.3: permutation operation, plaintext 0000000000000000.
const std::vector<KnownAnswer> kPermutationOperation = {
    {"1046913489980131", "0000000000000000", "88D55E54F54C97B4"},
    {"1007103489988020", "0000000000000000", "0C0CC00C83EA48FD"},
    {"10071034C8980120", "0000000000000000", "83BC8EF3A6570183"},
    {"1046103489988020", "0000000000000000", "DF725DCAD94EA2E9"},
    {"1086911519190101", "0000000000000000", "E652B53B550BE8B0"},
    {"1086911519580101", "0000000000000000", "AF527120C485CBB0"},
    {"5107B01519580101", "0000000000000000", "0F04CE393DB926D5"},
    {"1007B01519190101", "0000000000000000", "C9F00FFC74079067"},
    {"3107915498080101", "0000000000000000", "7CFD82A593252B4E"},
    {"3107919498080101", "0000000000000000", "CB49A2F9E91363E3"},
    {"10079115B9080140", "0000000000000000", "00B588BE70D23F56"},
    {"3107911598080140", "0000000000000000", "406A9A6AB43399AE"},
    {"1007D01589980101", "0000000000000000", "6CB773611DCA9ADA"},
    {"9107911589980101", "0000000000000000", "67FD21C17DBB5D70"},
    {"9107D01589190101", "0000000000000000", "9592CB4110430787"},
    {"1007D01598980120", "0000000000000000", "A6B7FF68A318DDD3"},
    {"1007940498190101", "0000000000000000", "4D102196C914CA16"},
    {"0107910491190401", "0000000000000000", "2DFA9F4573594965"},
    {"0107910491190101", "0000000000000000", "B46604816C0E0774"},
    {"0107940491190401", "0000000000000000", "6E7E6221A4F34E87"},
    {"19079210981A0101", "0000000000000000", "AA85E74643233199"},
    {"1007911998190801", "0000000000000000", "2E5A19DB4D1962D6"},
    {"10079119981A0801", "0000000000000000", "23A866A809D30894"},
    {"1007921098190101", "0000000000000000", "D812D961F017D320"},
    {"100791159819010B", "0000000000000000", "055605816E58608F"},
    {"1004801598190101", "0000000000000000", "ABD88E8B1B7716F1"},
    {"1004801598190102", "0000000000000000", "537AC95BE69DA1E1"},
    {"1004801598190108", "0000000000000000", "AED0F6AE3C25CDD8"},
    {"1002911498100104", "0000000000000000", "B3E35A5EE53E7B8D"},
    {"1002911598190104", "0000000000000000", "61C79C71921A2EF8"},
    {"1002911598100201", "0000000000000000", "E2F5728F0995013C"},
    {"1002911698100101", "0000000000000000", "1AEAC39A61F0A464"},
};

// Table B.4: substitution tables, which together select every S-box entry.
const std::vector<KnownAnswer> kSubstitutionTables = {
    {"7CA110454A1A6E57", "01A1D6D039776742", "690F5B0D9A26939B"},
    {"0131D9619DC1376E", "5CD54CA83DEF57DA", "7A389D10354BD271"},
    {"07A1133E4A0B2686", "0248D43806F67172", "868EBB51CAB4599A"},
    {"3849674C2602319E", "51454B582DDF440A", "7178876E01F19B2A"},
    {"04B915BA43FEB5B6", "42FD443059577FA2", "AF37FB421F8C4095"},
    {"0113B970FD34F2CE", "059B5E0851CF143A", "86A560F10EC6D85B"},
    {"0170F175468FB5E6", "0756D8E0774761D2", "0CD3DA020021DC09"},
    {"43297FAD38E373FE", "762514B829BF486A", "EA676B2CB7DB2B7A"},
    {"07A7137045DA2A16", "3BDD119049372802", "DFD64A815CAF1A0F"},
    {"04689104C2FD3B2F", "26955F6835AF609A", "5C513C9C4886C088"},
    {"37D06BB516CB7546", "164D5E404F275232", "0A2AEEAE3FF4AB77"},
    {"1F08260D1AC2465E", "6B056E18759F5CCA", "EF1BF03E5DFA575A"},
    {"584023641ABA6176", "004BD6EF09176062", "88BF0DB6D70DEE56"},
    {"025816164629B007", "480D39006EE762F2", "A1F9915541020B56"},
    {"49793EBC79B3258F", "437540C8698F3CFA", "6FBF1CAFCFFD0556"},
    {"4FB05E1515AB73A7", "072D43A077075292", "2F22E49BAB7CA1AC"},
    {"49E95D6D4CA229BF", "02FE55778117F12A", "5A6B612CC26CCE4A"},
    {"018310DC409B26D6", "1D9D5C5018F728C2", "5F4C038ED12B2E41"},
    {"1C587F1C13924FEF", "305532286D6F295A", "63FAC0D034D9F793"},
};

std::string SingleBitHex(std::size_t bit) { // bit 0 is the standard's bit 1
    std::string bytes(8, '\0');
    bytes[bit / 8] = static_cast<char>(0x80 >> (bit % 8));
    return ToHex(bytes);
}

} // namespace

TEST(QormdesLib, ClassicWorkedExample) {
    // The worked example of the standard's usual walk-through.
    EXPECT_EQ(CryptHex("133457799BBCDFF1", "0123456789ABCDEF", CryptDirection::Encrypt),
              "85E813540F0AB405");
    EXPECT_EQ(CryptHex("133457799BBCDFF1", "85E813540F0AB405", CryptDirection::Decrypt),
              "0123456789ABCDEF");
}

TEST(QormdesLib, VariablePlaintextKnownAnswers) {
    std::vector<KnownAnswer> rows;
    std::vector<std::string> plains;
    plains.reserve(64);
    for (std::size_t i = 0; i < 64; ++i) {
        plains.push_back(SingleBitHex(i));
    }
    for (std::size_t i = 0; i < 64; ++i) {
        rows.push_back({"0101010101010101", plains[i].c_str(), kVariablePlaintext[i]});
    }
    CheckTable("B.1 variable plaintext", rows);
}

TEST(QormdesLib, VariableKeyKnownAnswers) {
    std::vector<std::string> keys;
    keys.reserve(56);
    for (std::size_t b = 0; b < 8; ++b) {
        for (std::size_t j = 0; j < 7; ++j) {
            std::string key = FromHex("0101010101010101");
            key[b] = static_cast<char>(0x80 >> j);
            keys.push_back(ToHex(key));
        }
    }
    std::vector<KnownAnswer> rows;
    for (std::size_t i = 0; i < 56; ++i) {
        rows.push_back({keys[i].c_str(), "0000000000000000", kVariableKey[i]});
    }
    CheckTable("B.2 variable key", rows);
}

TEST(QormdesLib, PermutationOperationKnownAnswers) {
    CheckTable("B.3 permutation operation", kPermutationOperation);
}

TEST(QormdesLib, SubstitutionTableKnownAnswers) {
    CheckTable("B.4 substitution tables", kSubstitutionTables);
}

TEST(QormdesLib, RivestRecurrenceCatchesSingleFaults) {
    // X(i+1) = E(Xi, Xi) for even i, D(Xi, Xi) for odd i; X16 is published.
    std::string x = "9474B8E8C73BCA7D";
    for (int i = 0; i < 16; ++i) {
        x = CryptHex(x, x, i % 2 == 0 ? CryptDirection::Encrypt : CryptDirection::Decrypt);
    }
    EXPECT_EQ(x, "1B1A2DDB4C642438");
}

TEST(QormdesLib, WeakKeyEncipheringTwiceGivesTheInputBack) {
    for (const char* weak :
         {"0101010101010101", "FEFEFEFEFEFEFEFE", "E0E0E0E0F1F1F1F1", "1F1F1F1F0E0E0E0E"}) {
        SCOPED_TRACE(weak);
        const std::string once = CryptHex(weak, "0123456789ABCDEF", CryptDirection::Encrypt);
        EXPECT_EQ(CryptHex(weak, once, CryptDirection::Encrypt), "0123456789ABCDEF");
    }
}

TEST(QormdesLib, RotateHalfKeepsTwentyEightBitsRightAligned) {
    std::uint8_t half[4] = {0x08, 0x00, 0x00, 0x01}; // top bit and bottom bit of the half
    RotateHalf(half, 1);
    EXPECT_EQ(ToHex(std::string(reinterpret_cast<char*>(half), 4)), "00000003");
    std::uint8_t full[4] = {0x0F, 0xFF, 0xFF, 0xFF};
    RotateHalf(full, 2);
    EXPECT_EQ(ToHex(std::string(reinterpret_cast<char*>(full), 4)), "0FFFFFFF");
    std::uint8_t cycle[4] = {0x0A, 0x5C, 0x3E, 0x71};
    RotateHalf(cycle, 28); // the schedule's shifts add up to one whole turn
    EXPECT_EQ(ToHex(std::string(reinterpret_cast<char*>(cycle), 4)), "0A5C3E71");
}

TEST(QormdesLib, EncryptTextPadsWithZeroBytesAndNeverAddsABlock) {
    EXPECT_EQ(EncryptToHex(""), "");
    EXPECT_EQ(EncryptToHex("12345678").size(), 16u);
    EXPECT_EQ(EncryptToHex("123456789").size(), 32u);
    // 5 bytes are enciphered as those bytes and three zero bytes.
    EXPECT_EQ(EncryptToHex("abcde"), EncryptToHex(std::string("abcde\0\0\0x", 9)).substr(0, 16));
    // The ninth byte makes a second block of itself and seven zero bytes.
    EXPECT_EQ(EncryptToHex("123456789").substr(16), EncryptToHex("9"));
}

TEST(QormdesLib, EncryptTextIsElectronicCodebookUnderTheFirstEightKeyBytes) {
    const std::string text = "SAMEBLK!xxxxxxxxSAMEBLK!";
    const std::string hex = ToHex(EncryptText(text, "key"));
    EXPECT_EQ(hex.substr(0, 16), hex.substr(32, 16));
    // A short key is completed with zero bytes, a long one cut to 8 bytes.
    EXPECT_EQ(EncryptText(text, "key"), EncryptText(text, std::string("key\0\0\0\0\0", 8)));
    EXPECT_EQ(EncryptText(text, ""), EncryptText(text, std::string(8, '\0')));
    EXPECT_EQ(EncryptText(text, "KVRD-MSG"), EncryptText(text, "KVRD-MSG-FILTER"));
    EXPECT_EQ(EncryptToHex(text), ToHex(EncryptText(text, "KVRD-MSG")));
    // Parity bits take no part.
    EXPECT_EQ(EncryptText(text, FromHex("133457799BBCDFF1")),
              EncryptText(text, FromHex("123556789ABDDEF0")));
    // And the block transform is the standard's.
    EXPECT_EQ(ToHex(EncryptText(FromHex("0123456789ABCDEF"), FromHex("133457799BBCDFF1"))),
              "85E813540F0AB405");
}

TEST(QormdesLib, TextEndingInZeroByteIsRefusedAndChangesNothing) {
    EncryptText("x", "first key");
    const RoundKeys before = SubkeyTable;
    std::string result = "kept";
    try {
        result = EncryptText(std::string("abc\0", 4), "other key");
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Error: the last char is NULL char.");
    }
    EXPECT_EQ(result, "kept");
    EXPECT_EQ(SubkeyTable, before);
    EXPECT_THROW(EncryptToHex(std::string(1, '\0')), std::runtime_error);
    // A zero byte elsewhere is enciphered like any other byte.
    EXPECT_EQ(EncryptToHex(std::string("a\0b", 3)).size(), 16u);
}

TEST(QormdesLib, HexIsUppercaseTwoDigitsPerByte) {
    // EncryptToHex writes the same digits as the test's own rendering, for many byte values.
    std::string text;
    for (int i = 1; i < 256; ++i) {
        text.push_back(static_cast<char>(i));
    }
    const std::string cipher = EncryptText(text, std::string(LogCipherKey));
    const std::string hex = EncryptToHex(text);
    EXPECT_EQ(hex, ToHex(cipher));
    std::size_t small = 0; // bytes 00 to 0F keep their leading zero
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        small += hex[i] == '0' ? 1 : 0;
    }
    EXPECT_EQ(small,
              static_cast<std::size_t>(std::count_if(cipher.begin(), cipher.end(), [](char c) {
                  return static_cast<unsigned char>(c) < 0x10;
              })));
    EXPECT_GT(small, 0u);
    EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos);
}

TEST(QormdesLib, CodePageTextIsEncipheredByteByByte) {
    // "检查" in GB18030 is 4 bytes; seven ASCII bytes before it make it straddle two blocks.
    const std::string text = "1234567\xBC\xEC\xB2\xE9";
    EXPECT_EQ(EncryptToHex(text).size(), 32u);
    EXPECT_EQ(EncryptToHex(text).substr(0, 16), EncryptToHex("1234567\xBC").substr(0, 16));
}

TEST(FastBlockCipher, GivesWhatCryptBlockGives) {
    std::mt19937_64 random(2026);
    for (int trial = 0; trial < 2000; ++trial) {
        std::uint8_t key[8];
        Block in;
        const std::uint64_t k = random();
        const std::uint64_t v = random();
        std::memcpy(key, &k, 8);
        std::memcpy(in.data(), &v, 8);
        MakeSubkeys(key, SubkeyTable);
        const FastBlockCipher fast(key);
        for (const CryptDirection direction : {CryptDirection::Encrypt, CryptDirection::Decrypt}) {
            std::uint8_t expected[8];
            std::uint8_t actual[8];
            CryptBlock(direction, in, expected);
            fast.Crypt(direction, in.data(), actual);
            ASSERT_EQ(std::memcmp(expected, actual, 8), 0) << "trial " << trial;
        }
    }
    // And the published values, deciphering in place.
    for (const KnownAnswer& r : kSubstitutionTables) {
        const std::string key = FromHex(r.key);
        std::string block = FromHex(r.cipher);
        FastBlockCipher(reinterpret_cast<const std::uint8_t*>(key.data()))
            .Crypt(CryptDirection::Decrypt, reinterpret_cast<const std::uint8_t*>(block.data()),
                   reinterpret_cast<std::uint8_t*>(block.data()));
        EXPECT_EQ(ToHex(block), r.plain);
    }
}
