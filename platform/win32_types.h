// Scalar types of the Windows-style interfaces that the platform layer stands in for.
#pragma once

#include <cstdint>

using BOOL = int;
using BYTE = uint8_t;
using DWORD = uint32_t;
using UINT = uint32_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using ULONG_PTR = uintptr_t;
using LPBYTE = BYTE*;
using LPDWORD = DWORD*;
using LPVOID = void*;
using HANDLE = void*;
using HWND = void*;

constexpr BOOL FALSE = 0;
constexpr BOOL TRUE = 1;
