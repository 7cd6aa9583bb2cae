#include "header_file.h"

#include <cstring>

namespace tarnwick {
namespace {

// The header path's target: a symbolic link's final file, or the path
// itself. False when the path does not fit.
bool FindTarget(const char *p_header_path, HeaderFile &header)
{
    if(ResolveLink(p_header_path, header.a_target, sizeof(header.a_target)))
        return true;
    if(std::strlen(p_header_path) >= sizeof(header.a_target))
        return false;
    std::strcpy(header.a_target, p_header_path);
    return true;
}

// A new file beside a target that is a writable regular file or nothing yet.
bool OpenReplacement(const char *p_header_path, HeaderFile &header)
{
    if(!FindTarget(p_header_path, header))
        return false;
    FileIdentity identity;
    const PathKind kind = InspectPath(header.a_target, &identity);
    if(kind != PathKind::kMissing && (kind != PathKind::kRegular || !b_IsWritableFile(header.a_target)))
        return false;
    header.p_file = CreateFileBeside(header.a_target, header.a_temporary, sizeof(header.a_temporary));
    if(!header.p_file)
        return false;
    if(kind == PathKind::kRegular && !CopyPermissions(header.a_target, header.p_file)) {
        std::fclose(header.p_file);
        std::remove(header.a_temporary);
        header.p_file = nullptr;
        return false;
    }
    header.b_replaces = true;
    return true;
}

// The header path opened and truncated in place. A partly written file is
// removed later only if the path named nothing or a plain regular file (not
// a link, device or pipe) before, the open gave a regular file, and the path
// still names that file: a device such as /dev/full, a link, or a file
// someone else put there is never removed.
bool OpenInPlace(const char *p_header_path, HeaderFile &header)
{
    FileIdentity before;
    const PathKind kind = InspectPath(p_header_path, &before);
    const bool b_replaceable = kind == PathKind::kMissing || kind == PathKind::kRegular;
    header.p_file = std::fopen(p_header_path, "w");
    if(!header.p_file)
        return false;
    if(b_replaceable && InspectPath(p_header_path, &header.opened) == PathKind::kRegular)
        header.b_removable = b_SameFile(header.opened, IdentifyOpenFile(header.p_file));
    return true;
}

} // namespace

bool b_NamesTheImageFile(const char *p_header_path, const char *p_image_path)
{
    return b_SameFile(IdentifyPath(p_header_path), IdentifyPath(p_image_path));
}

bool OpenHeaderFile(const char *p_header_path, HeaderFile &header, bool b_replacement_only)
{
    header.p_file = nullptr;
    header.b_replaces = false;
    header.b_removable = false;
    header.opened = FileIdentity{false, 0, 0};
    return OpenReplacement(p_header_path, header) || (!b_replacement_only && OpenInPlace(p_header_path, header));
}

bool CloseHeaderFile(HeaderFile &header, const char *p_header_path, bool b_written)
{
    const bool b_closed = std::fclose(header.p_file) == 0;
    header.p_file = nullptr;
    if(header.b_replaces) {
        if(b_written && b_closed && MoveFileOver(header.a_temporary, header.a_target))
            return true;
        std::remove(header.a_temporary);
        return false;
    }
    if(b_written && b_closed)
        return true;
    FileIdentity now;
    if(header.b_removable && InspectPath(p_header_path, &now) == PathKind::kRegular && b_SameFile(now, header.opened))
        std::remove(p_header_path);
    return false;
}

} // namespace tarnwick
