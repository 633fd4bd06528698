// Deleting files by path and pattern, through the wide file-system functions
// so that every name is seen as the characters it holds (a double-byte
// character whose second byte is 0x5C or 0x7C is one character, never a
// separator), and names that the system code page cannot represent are found
// like any other.  Nothing outside the given target is ever removed: folders
// are never deleted and a name the platform matched only through its short
// (8.3) alias is left alone.  Hidden and system files are left alone, as the
// classic deletion by pattern does.  Errors are not reported: a file that
// cannot be deleted stays and the rest go on.  Paths are taken up to the
// classic limit of 259 characters: a folder or pattern text that long or
// longer finds nothing, and a file whose full path would reach 260
// characters is left alone, whatever the platform would accept.
#pragma once
#include <string>
#include <string_view>

namespace kavcmd {

// Deletes every file directly in `folder` (the pattern folder + "\*.*");
// subfolders and their contents stay, and so does the folder.  A folder text
// with wildcard characters deletes nothing.
void DeleteFilesInFolder(const std::wstring& folder);

// Deletes the file `path`; wildcards (* and ?) in its last part select every
// matching file of that folder.  Wildcards elsewhere delete nothing.
void DeleteMatchingFiles(const std::wstring& path);

// Case-insensitive match of a file name against a pattern of * (any run of
// characters) and ? (exactly one character; a surrogate pair is one
// character).
bool NameMatches(std::wstring_view name, std::wstring_view pattern);

}  // namespace kavcmd
