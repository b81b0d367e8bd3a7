# SPDX-License-Identifier: GPL-3.0-or-later
# Writes OUTPUT, a C++ source that holds every file of WEB_DIR (and, under guide/, every file
# of GUIDE_DIR: the teacher's guide) as a byte array with its content type, so the collector
# serves its page without any files beside it.
cmake_policy(SET CMP0057 NEW)  # if(... IN_LIST ...) in script mode
file(GLOB FILES "${WEB_DIR}/*")
list(SORT FILES)
set(GUIDE_FILES "")
if(GUIDE_DIR)
    file(GLOB GUIDE_FILES "${GUIDE_DIR}/*")
    list(SORT GUIDE_FILES)
endif()
set(source "// Generated at build time from collector/web by EmbedWebAssets.cmake.\n")
string(APPEND source "#include \"collector/WebAssets.h\"\n\nnamespace {\n\n")
set(table "")
set(index 0)
foreach(file IN LISTS FILES GUIDE_FILES)
    get_filename_component(name "${file}" NAME)
    if(file IN_LIST GUIDE_FILES)
        set(name "guide/${name}")
    endif()
    get_filename_component(extension "${file}" LAST_EXT)
    if(extension STREQUAL ".html")
        set(type "text/html; charset=utf-8")
    elseif(extension STREQUAL ".js")
        set(type "text/javascript; charset=utf-8")
    elseif(extension STREQUAL ".css")
        set(type "text/css; charset=utf-8")
    elseif(extension STREQUAL ".svg")
        set(type "image/svg+xml")
    elseif(extension STREQUAL ".png")
        set(type "image/png")
    else()
        set(type "application/octet-stream")
    endif()
    file(READ "${file}" hex HEX)
    string(LENGTH "${hex}" digits)
    math(EXPR size "${digits} / 2")
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n"
           bytes "${bytes}")
    string(APPEND source "const unsigned char kAsset${index}[] = {\n${bytes}0};\n\n")
    string(APPEND table "    {\"${name}\", \"${type}\",\n"
           "     std::string_view(reinterpret_cast<const char*>(kAsset${index}), ${size})},\n")
    math(EXPR index "${index} + 1")
endforeach()
string(APPEND source "const WebAsset kAssets[] = {\n${table}};\n\n}  // namespace\n\n")
string(APPEND source [=[
const WebAsset* FindWebAsset(std::string_view path) {
    if (path == "/") {
        path = "/index.html";
    } else if (path == "/guide/") {
        path = "/guide/index.html";
    }
    if (!path.starts_with("/")) {
        return nullptr;
    }
    for (const WebAsset& asset : kAssets) {
        if (asset.Name == path.substr(1)) {
            return &asset;
        }
    }
    return nullptr;
}
]=])
file(WRITE "${OUTPUT}.tmp" "${source}")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
