/* The few entry points of Samba's libraries that are only reachable from C
 * (their headers clash with each other or do not compile as C++): the shared
 * libnetapi context and raw MS-RPC calls over its pipes. */
#ifndef VORLEK_PLATFORM_REMOTE_RPC_GLUE_H
#define VORLEK_PLATFORM_REMOTE_RPC_GLUE_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

struct libnetapi_ctx;

/* The RPC interfaces the backend speaks, in the order of the glue's table. */
enum vorlek_rpc_pipe {
    VORLEK_PIPE_SAMR,
    VORLEK_PIPE_LSARPC,
    VORLEK_PIPE_SRVSVC,
    VORLEK_PIPE_WKSSVC,
    VORLEK_PIPE_SVCCTL,
    VORLEK_PIPE_WINREG,
    VORLEK_PIPE_EVENTLOG,
    VORLEK_PIPE_INITSHUTDOWN,
    VORLEK_PIPE_COUNT
};

/* How a failed call failed: the pipe could not be had (`code` is a Windows
 * status from libnetapi) or the call itself failed (`code` is an NTSTATUS). */
enum vorlek_rpc_failure { VORLEK_RPC_OK, VORLEK_RPC_PIPE, VORLEK_RPC_CALL };

/* One request on the pipe of `pipe` at `server` (UTF-8), opened through the
 * libnetapi context, which keeps it for later calls to the same server. On
 * success `*reply` is a malloc'd copy of the reply's NDR bytes (free it with
 * free()), `*reply_length` its length. */
enum vorlek_rpc_failure vorlek_rpc_call(struct libnetapi_ctx* ctx, const char* server,
                                        enum vorlek_rpc_pipe pipe, uint32_t opnum,
                                        const uint8_t* request, size_t request_length,
                                        uint8_t** reply, size_t* reply_length, uint32_t* code);

/* Runs `body(arg)` inside a talloc stack frame, which the libraries expect
 * around their calls. */
void vorlek_with_stackframe(void (*body)(void*), void* arg);

#ifdef __cplusplus
}
#endif

#endif
