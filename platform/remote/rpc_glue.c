#include "platform/remote/rpc_glue.h"

#include <stdbool.h>
#include <stdlib.h>
#include <string.h>

#include <talloc.h>
#include <core/ntstatus.h>
#include <rpc_common.h>

/* Exported by libnetapi and libsamba-util without a public declaration. */
extern uint32_t libnetapi_get_binding_handle(struct libnetapi_ctx* ctx, const char* server_name,
                                             const struct ndr_interface_table* table,
                                             struct dcerpc_binding_handle** binding_handle);
extern TALLOC_CTX* _talloc_stackframe(const char* location);

extern const struct ndr_interface_table ndr_table_samr;
extern const struct ndr_interface_table ndr_table_lsarpc;
extern const struct ndr_interface_table ndr_table_srvsvc;
extern const struct ndr_interface_table ndr_table_wkssvc;
extern const struct ndr_interface_table ndr_table_svcctl;
extern const struct ndr_interface_table ndr_table_winreg;
extern const struct ndr_interface_table ndr_table_eventlog;
extern const struct ndr_interface_table ndr_table_initshutdown;

static const struct ndr_interface_table* const tables[VORLEK_PIPE_COUNT] = {
    &ndr_table_samr,   &ndr_table_lsarpc, &ndr_table_srvsvc,   &ndr_table_wkssvc,
    &ndr_table_svcctl, &ndr_table_winreg, &ndr_table_eventlog, &ndr_table_initshutdown,
};

enum vorlek_rpc_failure vorlek_rpc_call(struct libnetapi_ctx* ctx, const char* server,
                                        enum vorlek_rpc_pipe pipe, uint32_t opnum,
                                        const uint8_t* request, size_t request_length,
                                        uint8_t** reply, size_t* reply_length, uint32_t* code) {
    *reply = NULL;
    *reply_length = 0;
    *code = 0;
    if ((int)pipe < 0 || pipe >= VORLEK_PIPE_COUNT) {
        *code = 87;
        return VORLEK_RPC_PIPE;
    }
    TALLOC_CTX* frame = _talloc_stackframe(__location__);
    enum vorlek_rpc_failure failure = VORLEK_RPC_OK;
    struct dcerpc_binding_handle* handle = NULL;
    uint32_t status = libnetapi_get_binding_handle(ctx, server, tables[pipe], &handle);
    if (status != 0 || handle == NULL) {
        *code = status != 0 ? status : 1722;
        failure = VORLEK_RPC_PIPE;
    } else {
        /* A server that stops answering fails the call after a minute
         * instead of holding the script forever (the pipes libnetapi opens
         * count the time-out in milliseconds). */
        dcerpc_binding_handle_set_timeout(handle, 60000);
        uint8_t* out = NULL;
        size_t out_length = 0;
        uint32_t out_flags = 0;
        NTSTATUS nt = dcerpc_binding_handle_raw_call(handle, NULL, opnum, 0, request, request_length,
                                                     frame, &out, &out_length, &out_flags);
        if (!NT_STATUS_IS_OK(nt)) {
            *code = NT_STATUS_V(nt);
            failure = VORLEK_RPC_CALL;
        } else {
            *reply = malloc(out_length ? out_length : 1);
            if (*reply == NULL) {
                *code = 8;
                failure = VORLEK_RPC_PIPE;
            } else {
                if (out_length) memcpy(*reply, out, out_length);
                *reply_length = out_length;
            }
        }
    }
    talloc_free(frame);
    return failure;
}

void vorlek_with_stackframe(void (*body)(void*), void* arg) {
    TALLOC_CTX* frame = _talloc_stackframe(__location__);
    body(arg);
    talloc_free(frame);
}
