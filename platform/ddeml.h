// The DDE management interface that the bus is written against, provided by our own transport
// between the threads and processes of one user on one machine (Unix domain sockets in a
// per-user runtime directory, shared memory for large data items).
//
// Instances. DdeInitializeA makes an instance owned by the calling thread. Its callback runs
// only on that thread and only inside DispatchMessageA (or while that thread waits in a
// synchronous DdeClientTransaction, which dispatches the thread's own incoming work meanwhile).
//
// Where the transport lives: $QIRO_RUNTIME_DIR when set, else $XDG_RUNTIME_DIR/qiro, else
// /tmp/qiro-<uid>; made with mode 0700 and refused when another user owns it.
#pragma once

#include "platform/win32_types.h"

struct HSZ__;
struct HCONV__;
struct HDDEDATA__;
using HSZ = HSZ__*;
using HCONV = HCONV__*;
using HDDEDATA = HDDEDATA__*;
struct CONVCONTEXT;

using PFNCALLBACK = HDDEDATA (*)(UINT type, UINT format, HCONV conversation, HSZ string1,
                                 HSZ string2, HDDEDATA data, ULONG_PTR data1, ULONG_PTR data2);

// Transaction types.
constexpr UINT XTYP_CONNECT = 0x1062;
constexpr UINT XTYP_POKE = 0x4090;
constexpr UINT XTYP_REQUEST = 0x20B0;
constexpr UINT XTYP_EXECUTE = 0x4050;

// Callback answers to a poke.
constexpr UINT DDE_FACK = 0x8000;
constexpr UINT DDE_FNOTPROCESSED = 0x0000;

// DdeInitializeA flags.
constexpr DWORD APPCMD_FILTERINITS = 0x00000020;
constexpr DWORD CBF_FAIL_SELFCONNECTIONS = 0x00001000;
constexpr DWORD CBF_SKIP_CONNECT_CONFIRMS = 0x00040000;

constexpr int CP_WINANSI = 1004;

// DdeNameService commands.
constexpr UINT DNS_REGISTER = 0x0001;
constexpr UINT DNS_UNREGISTER = 0x0002;

// DdeCreateDataHandle: the handle belongs to the caller until DdeFreeDataHandle.
constexpr UINT HDATA_APPOWNED = 0x0001;

// The data length that tells DdeClientTransaction its data argument is a data handle.
constexpr DWORD DDE_DATA_IS_HANDLE = 0xFFFFFFFF;

// The largest data item: creating or growing one beyond it fails like an allocation failure.
constexpr DWORD DDE_MAX_DATA_SIZE = 256u * 1024 * 1024;

// DdeGetLastError codes.
constexpr UINT DMLERR_NO_ERROR = 0;
constexpr UINT DMLERR_DLL_NOT_INITIALIZED = 0x4003;
constexpr UINT DMLERR_DLL_USAGE = 0x4004;
constexpr UINT DMLERR_INVALIDPARAMETER = 0x4006;
constexpr UINT DMLERR_MEMORY_ERROR = 0x4008;
constexpr UINT DMLERR_NOTPROCESSED = 0x4009;
constexpr UINT DMLERR_NO_CONV_ESTABLISHED = 0x400A;
constexpr UINT DMLERR_POKEACKTIMEOUT = 0x400B;
constexpr UINT DMLERR_POSTMSG_FAILED = 0x400C;
constexpr UINT DMLERR_REENTRANCY = 0x400D;
constexpr UINT DMLERR_SERVER_DIED = 0x400E;
constexpr UINT DMLERR_SYS_ERROR = 0x400F;

// Makes an instance for the calling thread and stores its id (never 0) in *instance. Returns
// DMLERR_NO_ERROR, or an error code with *instance left 0.
UINT DdeInitializeA(DWORD* instance, PFNCALLBACK callback, DWORD flags, DWORD reserved);
// Ends the instance: its names are unregistered, its conversations closed, its socket removed
// and its string handles freed. Only the owning thread may end it; a thread that ends with
// instances still alive ends them on its way out.
BOOL DdeUninitialize(DWORD instance);

// The same number for the same name in every process of the user.
UINT RegisterClipboardFormatA(const char* name);

HSZ DdeCreateStringHandleA(DWORD instance, const char* text, int codePage);
BOOL DdeFreeStringHandle(DWORD instance, HSZ string);

// DNS_REGISTER or DNS_UNREGISTER of `service`; a null `service` with DNS_UNREGISTER unregisters
// every name of the instance. Returns non-null on success.
HDDEDATA DdeNameService(DWORD instance, HSZ service, HSZ reserved, UINT command);

// Connects to the oldest live registration of exactly that name, never to the calling instance
// itself; the server's callback answers XTYP_CONNECT. Null on failure, with
// DMLERR_NO_CONV_ESTABLISHED; bounded in time when the server does not dispatch its messages.
HCONV DdeConnect(DWORD instance, HSZ service, HSZ topic, CONVCONTEXT* context);
BOOL DdeDisconnect(HCONV conversation);
// How long DdeConnect waits for a server's thread to answer (5000 ms unless changed); for the
// whole process.
void DdeSetConnectTimeout(DWORD milliseconds);

// An item of `size` bytes copied from `source + offset` (zero bytes when `source` is null).
// Null when the size exceeds DDE_MAX_DATA_SIZE or memory runs out. Items of 64 KiB and more are
// kept in shared memory, so that a poke hands the server their pages instead of copying them.
HDDEDATA DdeCreateDataHandle(DWORD instance, const BYTE* source, DWORD size, DWORD offset, HSZ item,
                             UINT format, UINT command);
// Writes `size` bytes at `offset`, growing the item as needed. Returns the handle to use from
// then on (possibly a new one), or null on failure.
HDDEDATA DdeAddData(HDDEDATA data, const BYTE* source, DWORD size, DWORD offset);

// Only XTYP_POKE with a data handle (size DDE_DATA_IS_HANDLE) is supported. Waits up to
// `timeout` ms for the server callback's answer, dispatching the pokes that arrive meanwhile for
// the calling thread's instances. Non-zero once it answered DDE_FACK, after which DdeGetData on
// `data` reads what the callback left in the data; 0 on failure (DdeGetLastError), with the
// data as it was: DMLERR_NOTPROCESSED (the callback refused), DMLERR_POKEACKTIMEOUT (the
// conversation stays usable; the late answer is dropped), DMLERR_SERVER_DIED (the server is
// gone), DMLERR_NO_CONV_ESTABLISHED (the conversation broke earlier), DMLERR_REENTRANCY (the
// instance is already waiting for a transaction of its own), DMLERR_SYS_ERROR (the server broke
// the protocol; the conversation is closed). A pointer from DdeAccessData taken before the
// transaction is not valid after it.
HDDEDATA DdeClientTransaction(BYTE* data, DWORD size, HCONV conversation, HSZ item, UINT format,
                              UINT type, DWORD timeout, DWORD* result);

UINT DdeGetLastError(DWORD instance);

// Copies up to `size` bytes from `offset` of the item; returns the count copied (0 past the end).
DWORD DdeGetData(HDDEDATA data, BYTE* destination, DWORD size, DWORD offset);
// A pointer to the item's bytes, which the caller may change in place, and its size; null on
// failure. Ended by DdeUnaccessData.
BYTE* DdeAccessData(HDDEDATA data, DWORD* size);
BOOL DdeUnaccessData(HDDEDATA data);
BOOL DdeFreeDataHandle(HDDEDATA data);
