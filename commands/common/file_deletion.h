// Deleting files by path and pattern.  Nothing outside the given target is
// ever removed: folders are never deleted, a name the platform matched only
// through its short (8.3) alias is left alone, and a path that would change
// on the way to the system code page (a character without an equivalent
// turns into the wildcard '?') deletes nothing.  Hidden and system files are
// left alone, as the classic deletion by pattern does.  Errors are not
// reported: a file that cannot be deleted stays and the rest go on.
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
// characters) and ? (exactly one character).
bool NameMatches(std::wstring_view name, std::wstring_view pattern);

}  // namespace kavcmd
