// The program's own code stays readable: no file over 450 lines, no function
// over 80.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::initializer_list<const char*> kProductFolders = {
    "app", "camera", "cipher", "logic", "printing", "shell", "support", "ui", "tools"};

// A line without its comment and with its string and character literals emptied.
std::string CodeOf(const std::string& line) {
    static const std::regex literal(R"("(\\.|[^"\\])*"|'(\\.|[^'\\])*')");
    std::string code = std::regex_replace(line, literal, "\"\"");
    return code.substr(0, code.find("//"));
}

struct LongFunction {
    int firstLine = 0;
    int lines = 0;
};

// The functions of code longer than limit lines: a block opened at the end of
// a line that closes a parameter list (a function, or a lambda inside one,
// which counts with it), not a statement's block.
std::vector<LongFunction> LongFunctions(const std::string& code, int limit) {
    static const std::regex function(
        R"(\)\s*(const)?\s*(noexcept)?\s*(override|final)?\s*(->\s*[\w:<>]+\s*)?\{\s*$)");
    static const std::regex statement(R"(^\s*(\}\s*)?(if|for|while|switch|catch|else|do)\b)");
    std::vector<LongFunction> found;
    std::vector<bool> opened; // per open brace: whether it opened a function
    int outerStart = -1;
    std::istringstream lines(code);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        const std::string text = CodeOf(line);
        for (std::size_t at = 0; at < text.size(); ++at) {
            if (text[at] == '{') {
                const bool isFunction = at == text.find_last_not_of(" \t") &&
                                        std::regex_search(text, function) &&
                                        !std::regex_search(text, statement);
                if (isFunction && std::find(opened.begin(), opened.end(), true) == opened.end()) {
                    outerStart = number;
                }
                opened.push_back(isFunction);
            } else if (text[at] == '}' && !opened.empty()) {
                opened.pop_back();
                if (outerStart > 0 &&
                    std::find(opened.begin(), opened.end(), true) == opened.end()) {
                    if (number - outerStart + 1 > limit) {
                        found.push_back({outerStart, number - outerStart + 1});
                    }
                    outerStart = -1;
                }
            }
        }
    }
    return found;
}

} // namespace

TEST(SourceRules, NoFileOver450LinesAndNoFunctionOver80) {
    std::size_t files = 0;
    for (const auto& [path, code] : testsupport::Sources(kProductFolders)) {
        ++files;
        EXPECT_LE(std::count(code.begin(), code.end(), '\n'), 450) << path;
        for (const LongFunction& function : LongFunctions(code, 80)) {
            ADD_FAILURE() << path << ":" << function.firstLine << ": a function of "
                          << function.lines << " lines";
        }
    }
    EXPECT_GT(files, 50u);
}

TEST(SourceRules, TheFunctionMeasureFindsWhatItMeasures) {
    // A function of 81 lines with a lambda, a statement block and braces in
    // literals, then a short one and a class body.
    std::string body = "int Long(int a) {\n    auto f = [](int x) {\n        return x;\n    };\n"
                       "    if (a) {\n        a = '{';\n    }\n    const char* s = \"}}\";\n";
    for (int i = 0; i < 71; ++i) {
        body += "    ++a;\n";
    }
    body += "    return f(a);\n}\n";
    const std::string code = body + "int Short() {\n    return 1;\n}\nclass C {\n    int m() {\n"
                                    "        return 2;\n    }\n};\n";
    const std::vector<LongFunction> found = LongFunctions(code, 80);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].firstLine, 1);
    EXPECT_EQ(found[0].lines, 81);
    EXPECT_TRUE(LongFunctions(code, 81).empty());
}
