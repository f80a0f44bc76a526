#pragma once
// Running a peer program from a test: shell quoting and the lines a command prints.
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace velto::test {

// s as one single-quoted shell word.
inline std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// The non-empty lines a shell command writes to its standard output.
inline std::vector<std::string> Shell(const std::string& command) {
    std::string text;
    char buf[4096];
    if (FILE* p = ::popen(command.c_str(), "r")) {
        while (std::size_t n = std::fread(buf, 1, sizeof buf, p)) text.append(buf, n);
        ::pclose(p);
    }
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) lines.push_back(line);
    return lines;
}

// Debian's Python, where Pillow lives.
constexpr const char* kPython = "/usr/bin/python3";

// Whether a program of that name is on the path.
inline bool Have(const std::string& tool) {
    return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

inline bool HavePillow() { return std::system((std::string(kPython) + " -c 'import PIL' >/dev/null 2>&1").c_str()) == 0; }

}  // namespace velto::test
