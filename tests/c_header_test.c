/* A C program on the public header: it compiles as strict C, its functions
 * are callable, C callers get the same words for a status as C++ ones, and a
 * program that defines a function of the library's (exported from the
 * executable, so the dynamic linker would prefer it) does not divert the
 * library's own calls: its pool CRCs stay exact. */
#include <revevidozi.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

uint32_t crc32ForBuf(const void *buf, uint32_t len) {
    (void)buf;
    (void)len;
    return 0xBADC0DEu;
}

static int failures = 0;
#define CHECK(cond) ((cond) ? (void)0 : (void)(fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #cond), failures++))

int main(void) {
    const wwn_t local = {{0x10, 0x00, 0x12, 0x34, 0x56, 0x78, 0x9a, 0xbc}};
    const uint8_t base0[8] = {0x20, 0x00, 0x12, 0x34, 0x56, 0x78, 0x9a, 0xbc};
    const uint8_t crc[4] = {0xc1, 0x1c, 0x3d, 0xd2}; /* after four allocations */
    wwn_pool_cfg cfg;
    wwn_t out[4];
    char text[5];
    crc_buf_desc tail = {"56789", 0, 0, 5, 0, NULL}, head = {"1234", 0, 0, 4, 0, &tail};
    wwn_pool_ctrl *ctrl = (wwn_pool_ctrl *)malloc(wwn_pool_sizeof_pool_ctrl());

    CHECK(ctrl != NULL && wwn_pool_sizeof_pool_cfg() == sizeof cfg);
    CHECK(wwn_pool_init(ctrl, &cfg, &local, 0) == WWN_POOL_OK);
    CHECK(wwn_pool_addr_alloc(ctrl, &cfg, 4, out) == WWN_POOL_OK);
    CHECK(memcmp(cfg.bytes + WWN_POOL_CFG_BASE_OFFSET, base0, 8) == 0);
    CHECK(cfg.bytes[WWN_POOL_CFG_BITMAP_OFFSET + 3] == 0x0f && cfg.bytes[WWN_POOL_CFG_BITMAP_OFFSET + 4] == 0);
    CHECK(memcmp(cfg.bytes + WWN_POOL_CFG_CRC_OFFSET, crc, 4) == 0);
    CHECK(hbytes_to_string(out[1].bytes, text, 2) == 4 && strcmp(text, "2001") == 0);
    CHECK(crc32ForBuf("x", 1) == 0xBADC0DEu && crc32_Ethernet(&head) == 0x2639F4CBu);
    CHECK(strcmp(wwn_pool_status_text(wwn_pool_usr_addr_alloc(ctrl, &cfg, &out[3])), "address already allocated") == 0);
    CHECK(strcmp(wwn_pool_status_text(WWN_POOL_OK), "success") == 0);
    CHECK(strcmp(wwn_pool_status_text(4), "unknown pool status") == 0); /* a gap in the numbers */
    free(ctrl);
    return failures == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
}
