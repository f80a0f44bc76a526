#pragma once
// Extended attributes of a file (the user's own, those of security modules,
// and the access list, which the system keeps as one of them), for a
// replacement of the file to keep them as it keeps its permission bits.
#include <string>
#include <string_view>
#include <vector>

namespace velto {

// The attribute that holds a file's access list: entries for named users and
// groups beyond the permission bits, whose group bits are then the list's mask.
inline constexpr char kAccessListAttribute[] = "system.posix_acl_access";

struct FileAttribute {
    std::string name, value;
};

// Attributes that belong to the old bytes, which a replacement never takes
// over: the system's integrity measures of them, and the capabilities they
// were given as a program (which the system itself drops at any write, and
// which only a privileged saver could set again).
bool BelongsToOldBytes(std::string_view name);

// The attributes of the file at path that this process can see; 0 or the
// system's error number. A file system without attributes gives none.
int ReadFileAttributes(const std::string& path, std::vector<FileAttribute>& out);
// One attribute; empty when the file has none of that name.
int ReadFileAttribute(const std::string& path, const char* name, std::string& value);

// Gives the open file the attribute (one it holds already with that value
// is left: a security module's label given at creation may not be set again
// by an ordinary user); 0 or the system's error number.
int SetFileAttribute(int fd, const std::string& name, const std::string& value);
// Takes it away where the file has it; 0 or the system's error number.
int RemoveFileAttribute(int fd, const char* name);

}  // namespace velto
