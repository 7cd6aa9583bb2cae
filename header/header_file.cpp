#include "header_file.h"

namespace tarnwick {

bool b_NamesTheImageFile(const char *p_header_path, const char *p_image_path)
{
    return b_SameFile(IdentifyPath(p_header_path), IdentifyPath(p_image_path));
}

bool OpenHeaderFile(const char *p_header_path, HeaderFile &header)
{
    FileIdentity before;
    const PathKind kind = InspectPath(p_header_path, &before);
    const bool b_replaceable = kind == PathKind::kMissing || kind == PathKind::kRegular;
    header = HeaderFile{std::fopen(p_header_path, "w"), false, FileIdentity{false, 0, 0}};
    if(!header.p_file)
        return false;
    if(b_replaceable && InspectPath(p_header_path, &header.opened) == PathKind::kRegular)
        header.b_removable = b_SameFile(header.opened, IdentifyOpenFile(header.p_file));
    return true;
}

bool CloseHeaderFile(HeaderFile &header, const char *p_header_path, bool b_written)
{
    const bool b_closed = std::fclose(header.p_file) == 0;
    header.p_file = nullptr;
    if(b_written && b_closed)
        return true;
    FileIdentity now;
    if(header.b_removable && InspectPath(p_header_path, &now) == PathKind::kRegular && b_SameFile(now, header.opened))
        std::remove(p_header_path);
    return false;
}

} // namespace tarnwick
