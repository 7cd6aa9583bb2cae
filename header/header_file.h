// The header file itself: where its bytes go while it is written, and how it
// takes the header path's place, so that a run never overwrites its own
// picture and a reader never sees part of a header.
//
// The header is written to a new file beside it (a hidden name in the same
// folder), which is moved over the header path only when complete: a reader,
// a build tool, or the next run sees the previous header or the new one,
// never a part, even if the run is killed (a killed run may leave its
// hidden file behind, never a half header). A failed run removes its file
// and changes nothing else. What users rely on stays: a header path that is
// a symbolic link is written through to the file it names (the link stays a
// link); a header that exists keeps its permission bits; a header that may
// not be written (read-only) is an error as before; and where the folder
// does not allow a new file, or the path names no regular file (a device
// such as /dev/full, a FIFO), the header is written in place as before, and
// a partly written one is removed if that is safe.
#ifndef TARNWICK_HEADER_FILE_H
#define TARNWICK_HEADER_FILE_H

#include <cstddef>
#include <cstdio>

#include "platform.h"

namespace tarnwick {

// Longest path kept for the header's target and its temporary file; a
// longer one is written in place.
constexpr size_t kHeaderPathBytes = 4096;

struct HeaderFile {
    FILE *p_file;
    bool b_replaces;     // p_file is a new file that replaces a_target when complete
    bool b_removable;    // (written in place) the open created or truncated a regular file
    FileIdentity opened; // (written in place) which file that was
    char a_target[kHeaderPathBytes];    // the header path, or the file its link names
    char a_temporary[kHeaderPathBytes]; // the new file, while b_replaces
};

// True when the header path names the image file itself: the same path, a
// link to it (symbolic or hard), or another path to the same file. Opening
// the header for writing would then destroy the picture.
bool b_NamesTheImageFile(const char *p_header_path, const char *p_image_path);

// Opens where the header's bytes go (text mode: each "\n" becomes the
// platform's line end); false when nothing can be opened. With
// b_replacement_only only a new file that replaces the header when complete
// will do: false where the header would be written in place.
bool OpenHeaderFile(const char *p_header_path, HeaderFile &header, bool b_replacement_only = false);

// Closes the file. When the text was written completely (b_written) and
// closes cleanly, the header takes its place; otherwise what was written is
// removed where that is safe. True when the header is complete and in place.
bool CloseHeaderFile(HeaderFile &header, const char *p_header_path, bool b_written);

} // namespace tarnwick

#endif // TARNWICK_HEADER_FILE_H
