#pragma once
// Reads a saved cursor library with independent tools: binutils' objdump
// (headers and sections), icoutils' wrestool (the resource tree and raw
// leaves) and Python's pefile (checksum and resource walk), and checks that
// each cursor group's images, taken from wrestool's raw leaves, are the
// images of the cursor file that was stored. Shared by the engine's peer
// tests and the editor window's tests.
#include <sys/wait.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "PeTestImage.h"

namespace restest {

struct ToolRun {
    int status = -1;
    std::string out;
};

// Runs a shell command; its standard output (with standard error when
// withErrors), and its exit status.
inline ToolRun RunTool(const std::string& command, bool withErrors = true) {
    ToolRun r;
    FILE* p = ::popen((command + (withErrors ? " 2>&1" : " 2>/dev/null")).c_str(), "r");
    if (!p) return r;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    const int st = ::pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

inline bool HaveTool(const std::string& tool) { return RunTool("command -v " + tool).status == 0; }

inline std::string Quoted(const std::string& s) { return "'" + s + "'"; }

// The tools missing on this machine, " name" each.
inline std::string MissingLibraryPeers() {
    std::string missing;
    for (const char* tool : {"objdump", "wrestool"})
        if (!HaveTool(tool)) missing += std::string(" ") + tool;
    if (RunTool("/usr/bin/python3 -c 'import pefile'").status != 0) missing += " python3-pefile";
    return missing;
}

// A cursor group expected in a library: wrestool's name ("7" or "ARROW"),
// its language and the images of the cursor file stored (hotspot, bytes).
struct ExpectedGroup {
    std::string name;
    std::uint32_t language = 0;
    std::vector<CurImage> images;
};

inline Bytes CursorImageOf(const CurImage& img) {
    return img.bytes.empty() ? CursorImageBytes(img.w, img.h, img.seed) : img.bytes;
}

// Problems the tools find in the library, one a line; "" when every tool
// reads it, the groups are exactly the expected ones and every image is
// the one stored.
inline std::string LibraryPeerProblems(const std::string& path, const std::vector<ExpectedGroup>& groups) {
    std::string problems;
    const std::string q = Quoted(path);
    const ToolRun od = RunTool("objdump -x " + q);
    if (od.status != 0 || od.out.find(".rsrc") == std::string::npos)
        problems += "objdump -x: " + od.out.substr(0, 400) + "\n";
    // Double quotes only: the script goes to the shell in single ones.
    static const char kPefile[] =
        "import pefile,sys\n"
        "pe=pefile.PE(sys.argv[1])\n"
        "print(\"checksum\", \"ok\" if pe.verify_checksum() else \"wrong\")\n"
        "for t in pe.DIRECTORY_ENTRY_RESOURCE.entries:\n"
        "  if t.id!=12: continue\n"
        "  for n in t.directory.entries:\n"
        "    for l in n.directory.entries:\n"
        "      print(\"group\", str(n.name) if n.name is not None else n.id, l.id)\n"
        // A resource-only library has no entry point and is mostly one byte
        // value: pefile warns so about the linker's own such libraries too.
        "for w in pe.get_warnings():\n"
        "  if \"AddressOfEntryPoint\" not in w and \"makes up\" not in w: print(\"warning\", w)\n";
    const ToolRun pf = RunTool("/usr/bin/python3 -c " + Quoted(kPefile) + " " + q);
    std::string expectPefile = "checksum ok\n";
    for (const ExpectedGroup& g : groups) expectPefile += "group " + g.name + " " + std::to_string(g.language) + "\n";
    if (pf.status != 0 || pf.out != expectPefile)
        problems += "pefile gave:\n" + pf.out + "expected:\n" + expectPefile;

    const ToolRun list = RunTool("wrestool -l " + q);
    std::size_t listed = 0;
    for (std::size_t at = 0; (at = list.out.find("--type=12 ", at)) != std::string::npos; ++at) ++listed;
    if (list.status != 0 || listed != groups.size())
        problems += "wrestool -l lists " + std::to_string(listed) + " groups:\n" + list.out;
    for (const ExpectedGroup& g : groups) {
        const std::string which = " --name=" + Quoted(g.name) + " --language=" + std::to_string(g.language) + " ";
        const ToolRun raw = RunTool("wrestool -x --raw --type=12" + which + q, false);
        const Bytes group(raw.out.begin(), raw.out.end());
        if (group.size() != 6 + 14 * g.images.size()) {
            problems += "group " + g.name + ": " + std::to_string(group.size()) + " bytes from wrestool\n";
            continue;
        }
        for (std::size_t i = 0; i < g.images.size(); ++i) {
            const std::size_t e = 6 + 14 * i;
            const std::uint32_t id = group[e + 12] | group[e + 13] << 8;
            const ToolRun leaf = RunTool("wrestool -x --raw --type=1 --name=" + std::to_string(id) + " --language=" +
                                             std::to_string(g.language) + " " + q,
                                         false);
            const Bytes image = CursorImageOf(g.images[i]);
            Bytes expect = {static_cast<std::uint8_t>(g.images[i].hotX), 0, static_cast<std::uint8_t>(g.images[i].hotY), 0};
            expect.insert(expect.end(), image.begin(), image.end());
            if (Bytes(leaf.out.begin(), leaf.out.end()) != expect)
                problems += "group " + g.name + " image " + std::to_string(i) + " (id " + std::to_string(id) +
                            "): " + std::to_string(leaf.out.size()) + " bytes differ from the stored cursor's\n";
            if (Get32(group, e + 8) != expect.size()) problems += "group " + g.name + ": byte count of entry " + std::to_string(i) + "\n";
        }
    }
    return problems;
}

}  // namespace restest
