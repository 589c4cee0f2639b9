// Test helper: what Windows' own functions read from a program's resources, one
// "name=value" line each, in UTF-8:
//
//     resource_probe PROGRAM.exe
//
//     ProductName=...  FileDescription=...  FileVersion=...  ProductVersion=...
//     icons=1          (icon groups, as Explorer counts them)
//     icon16=16x16 ... icon256=256x256   (each size loaded from the first group)
//     manifest=...     (the application manifest, on one line)
//
// Exits with 1 when the program cannot be read as a module.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

void print_line(const char* name, const std::wstring& value)
{
    char utf8[4096] = {};
    ::WideCharToMultiByte(CP_UTF8, 0, value.c_str(), -1, utf8, sizeof utf8 - 1, nullptr, nullptr);
    std::printf("%s=%s\n", name, utf8);
}

void print_version(const char* name, DWORD high, DWORD low)
{
    std::printf("%s=%u.%u.%u.%u\n", name, HIWORD(high), LOWORD(high), HIWORD(low), LOWORD(low));
}

void print_version_information(const wchar_t* program)
{
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(program, &ignored);
    std::string block(size, '\0');
    if (size == 0 || !::GetFileVersionInfoW(program, 0, size, block.data())) return;
    for (const char* name : {"ProductName", "FileDescription"}) {
        std::wstring query = L"\\StringFileInfo\\040904B0\\";
        for (const char* c = name; *c != '\0'; ++c) query += static_cast<wchar_t>(*c);
        void* value = nullptr;
        UINT length = 0;
        if (::VerQueryValueW(block.data(), query.c_str(), &value, &length) && length > 0)
            print_line(name, static_cast<const wchar_t*>(value));
    }
    void* fixed = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(block.data(), L"\\", &fixed, &length) || length < sizeof(VS_FIXEDFILEINFO)) return;
    const auto* info = static_cast<const VS_FIXEDFILEINFO*>(fixed);
    print_version("FileVersion", info->dwFileVersionMS, info->dwFileVersionLS);
    print_version("ProductVersion", info->dwProductVersionMS, info->dwProductVersionLS);
}

void print_icons(const wchar_t* program, HMODULE module)
{
    std::printf("icons=%u\n", ::ExtractIconExW(program, -1, nullptr, nullptr, 0));
    for (int size : {16, 24, 32, 48, 64, 256}) {
        HICON icon = static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0));
        ICONINFO parts = {};
        BITMAP picture = {};
        if (icon == nullptr || !::GetIconInfo(icon, &parts) ||
            ::GetObjectW(parts.hbmColor, sizeof picture, &picture) == 0) {
            std::printf("icon%d=none\n", size);
            continue;
        }
        std::printf("icon%d=%ldx%ld\n", size, picture.bmWidth, picture.bmHeight);
        ::DeleteObject(parts.hbmColor);
        ::DeleteObject(parts.hbmMask);
        ::DestroyIcon(icon);
    }
}

void print_manifest(HMODULE module)
{
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
    if (found == nullptr) return;
    const char* text = static_cast<const char*>(::LockResource(::LoadResource(module, found)));
    std::string manifest(text, ::SizeofResource(module, found));
    for (char& c : manifest) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    std::printf("manifest=%s\n", manifest.c_str());
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) return 2;
    HMODULE module = ::LoadLibraryExW(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (module == nullptr) return 1;
    print_version_information(argv[1]);
    print_icons(argv[1], module);
    print_manifest(module);
    return 0;
}
