// The header file itself: opening it safely and closing it, so that a run
// never overwrites its own picture and never leaves a partly written header
// behind. What a path names and which file it is come from platform.h.
#ifndef TARNWICK_HEADER_FILE_H
#define TARNWICK_HEADER_FILE_H

#include <cstdio>

#include "platform.h"

namespace tarnwick {

// What the header path named before it was opened, and which file the open
// gave. A failed write removes the file only when the path named nothing or
// a plain regular file (not a link, device or pipe) before, the open gave a
// regular file, and the path still names that same file: a device such as
// /dev/full, a link, or a file someone else put there is never removed.
struct HeaderFile {
    FILE *p_file;
    bool b_removable;      // the open created or truncated a regular file
    FileIdentity opened;   // which file that was
};

// True when the header path names the image file itself: the same path, a
// link to it (symbolic or hard), or another path to the same file. Opening
// the header for writing would then destroy the picture.
bool b_NamesTheImageFile(const char *p_header_path, const char *p_image_path);

// Opens the header path for writing (text mode: each "\n" becomes the
// platform's line end); false when it cannot be opened.
bool OpenHeaderFile(const char *p_header_path, HeaderFile &header);

// Closes the file; when the text was not written completely (b_written
// false) or the close fails, removes it if that is safe (see HeaderFile).
// True when the header is complete and closed.
bool CloseHeaderFile(HeaderFile &header, const char *p_header_path, bool b_written);

} // namespace tarnwick

#endif // TARNWICK_HEADER_FILE_H
