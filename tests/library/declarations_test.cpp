// kavlink.bas, generated from the export table: one Declare per export with
// the row's arguments in the forms an Automation client must pass them, and
// a Type for every record a Declare names.
#include "decode/decoder.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string besideTheProgram(const char* name) {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string p = path;
    return p.substr(0, p.find_last_of('\\') + 1) + name;
}

std::vector<std::string> split(const std::string& s, char sep) {
    std::vector<std::string> out;
    std::string cur;
    std::istringstream in(s);
    while (std::getline(in, cur, sep)) {
        const size_t a = cur.find_first_not_of(' '), b = cur.find_last_not_of(' ');
        if (a != std::string::npos) out.push_back(cur.substr(a, b - a + 1));
    }
    return out;
}

// What a parameter of this row must look like: "ByVal|ByRef" and, where the
// row fixes it, the type.
std::string expectedParameter(const kavhost::ExportLayout& e, size_t i) {
    using kavhost::ArgKind;
    switch (e.args[i].kind) {
    case ArgKind::I32: return "ByVal Long";
    case ArgKind::I16: return "ByVal Integer";
    case ArgKind::U8: return "ByVal Byte";
    case ArgKind::F64: return "ByVal Double";
    case ArgKind::I64: return "ByVal Currency";
    case ArgKind::Text: case ArgKind::Bstr: return "ByVal String";
    case ArgKind::StrVar: return "ByRef String";
    case ArgKind::Ref: break;
    default: return "ByRef";
    }
    for (const kavhost::SegmentLayout& s : e.segments) {
        if (s.arg != static_cast<int>(i) || s.argText || s.countFrom != kavhost::CountFrom::None) continue;
        switch (s.kind) {
        case kavhost::SegmentKind::F64: return "ByRef Double";
        case kavhost::SegmentKind::I32: return "ByRef Long";
        case kavhost::SegmentKind::I16: return "ByRef Integer";
        case kavhost::SegmentKind::U8: return "ByRef Byte";
        case kavhost::SegmentKind::TextBuf: return "ByVal String";
        default: break;
        }
    }
    return "ByRef";
}

TEST(Declarations, EveryExportIsDeclaredAsItsRowSays) {
    std::ifstream in(besideTheProgram("kavlink.bas"), std::ios::binary);
    ASSERT_TRUE(in) << "kavlink.bas missing beside the test";
    std::map<std::string, std::string> declares;  // name -> parameter list
    std::map<std::string, std::string> results;
    std::set<std::string> types;
    const std::regex declare(R"(^Public Declare (Function|Sub) (\w+) Lib "kavlink\.dll" \((.*)\)( As (\w+))?$)");
    const std::regex type(R"(^Public Type (\w+)$)");
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::smatch m;
        if (std::regex_match(line, m, declare)) {
            EXPECT_TRUE(declares.emplace(m[2], m[3]).second) << m[2] << " declared twice";
            results[m[2]] = m[1] == "Sub" ? "" : m[5].str();
        } else if (std::regex_match(line, m, type)) {
            types.insert(m[1]);
        }
    }
    EXPECT_EQ(declares.size(), kavhost::exportLayouts().size());
    const std::regex parameter(R"(^(ByVal|ByRef) (\w+)(\(\))? As (\w+)$)");
    const std::set<std::string> basic = {"Long", "Integer", "Byte", "Double", "Currency", "String"};
    for (const kavhost::ExportLayout& e : kavhost::exportLayouts()) {
        std::string trace = e.name;
        trace.append(", api/kavlink.exports:").append(std::to_string(e.line));
        SCOPED_TRACE(trace);
        const auto d = declares.find(e.name);
        if (d == declares.end()) {
            ADD_FAILURE() << "not declared";
            continue;
        }
        EXPECT_EQ(results[e.name].empty(), e.result == kavhost::ResultForm::Void);
        if (e.result == kavhost::ResultForm::F64) {
            EXPECT_EQ(results[e.name], "Double");
        }
        const std::vector<std::string> params = split(d->second, ',');
        ASSERT_EQ(params.size(), e.args.size()) << d->second;
        for (size_t i = 0; i < params.size(); ++i) {
            std::smatch m;
            ASSERT_TRUE(std::regex_match(params[i], m, parameter)) << params[i];
            const std::string want = expectedParameter(e, i);
            std::string got = m[1].str();
            if (want.find(' ') != std::string::npos) got.append(1, ' ').append(m[4].str());
            EXPECT_EQ(got, want) << "parameter " << e.args[i].name << ": " << params[i];
            const bool array = e.args[i].kind == kavhost::ArgKind::Array || e.args[i].kind == kavhost::ArgKind::ArrayTimes;
            EXPECT_EQ(m[3].matched, array) << params[i];
            EXPECT_TRUE(basic.count(m[4]) || types.count(m[4])) << params[i] << ": no Type " << m[4];
        }
    }
}

}  // namespace
