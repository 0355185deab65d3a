// The profile (INI file) functions with the behaviour of the Windows ones
// that the system's INI file class sits on.
//
// Reading: section and key names match without regard to letter case; the
// parameters lose their leading and trailing spaces; in the file, blanks
// (space, TAB, VT) around names and values are dropped and one pair of
// matching quotes, single or double, is taken off a value. The first of
// duplicate sections and keys wins. Lines starting with ";" are comments.
// Lines before the first section belong to no section.
//
// Writing edits the file in place: only the touched line changes, every
// other byte (comments, blank lines, spacing, junk) stays. Values are written
// verbatim, without quoting or escaping. The new file replaces the old one
// in one step, so a crash never leaves half a file.
//
// File names are system paths; a name without a folder lies in the Windows
// directory. Texts are bytes (Windows-1251) and pass unchanged.
#pragma once

#include <cstdint>
#include <memory>

namespace tolvane::platform {

// Copies the value of key in section into buffer (size characters with the
// terminating NUL) and returns the number of characters copied; a value
// that does not fit is cut to size - 1 characters (last error
// ERROR_MORE_DATA). A missing file, section or key gives the default, less
// its trailing spaces (nullptr: the empty text).
// key nullptr: the key names of the section, each ending in NUL, the list
// ending in one more NUL; section nullptr: the section names. A list that
// does not fit is cut to size - 2 characters followed by two NULs, and
// size - 2 is returned.
uint32_t GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue, char* buffer,
                                  uint32_t size, const char* fileName);

// Sets key in section to value; value nullptr deletes the key; key nullptr
// deletes the section's header and key lines (its comments and blank lines
// stay). A missing file is created (a delete creates it empty); a missing
// folder is ERROR_PATH_NOT_FOUND. section nullptr fails with
// ERROR_FILE_NOT_FOUND, except that all three nullptr asks to flush a cache
// this implementation does not keep (false, as on Windows). False on
// failure with the last error set.
bool WritePrivateProfileStringA(const char* section, const char* key, const char* value, const char* fileName);

// Groups the profile writes that the calling thread makes to one file into a
// single replacement of that file. While the batch lives, those writes
// change a copy in memory and reads of the file by this thread see that
// copy; Commit writes the copy out. A batch destroyed without Commit drops
// its changes, so the file holds either all of them or none, whatever
// happens to the process. A batch opened inside a batch on the same file
// joins the outer one: its Commit does nothing.
class ProfileWriteBatch {
public:
    explicit ProfileWriteBatch(const char* fileName);
    ~ProfileWriteBatch();

    ProfileWriteBatch(const ProfileWriteBatch&) = delete;
    ProfileWriteBatch& operator=(const ProfileWriteBatch&) = delete;

    // False with the last error set when the file cannot be written; the
    // changes are kept, so Commit may be tried again.
    bool Commit();

    struct State;

private:
    std::unique_ptr<State> state_;  // nullptr when joined to an outer batch
};

}  // namespace tolvane::platform
