/* A program that defines its own crc32ForBuf, exported from the executable so
 * the dynamic linker would prefer it, still gets exact pool blocks: the
 * library's own calls never go through its dynamic symbol table. */
#include <revevidozi.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

uint32_t crc32ForBuf(const void *buf, uint32_t len) {
    (void)buf;
    (void)len;
    return 0xBADC0DEu;
}

int main(void) {
    const wwn_t local = {{0x10, 0x00, 0x12, 0x34, 0x56, 0x78, 0x9a, 0xbc}};
    const uint8_t expected_crc[4] = {0xda, 0x2b, 0x04, 0x3f};
    wwn_pool_cfg cfg;
    wwn_pool_ctrl *ctrl = (wwn_pool_ctrl *)malloc(wwn_pool_sizeof_pool_ctrl());
    int ok = ctrl != NULL && crc32ForBuf("x", 1) == 0xBADC0DEu && wwn_pool_init(ctrl, &cfg, &local, 0) == WWN_POOL_OK &&
             memcmp(cfg.bytes + WWN_POOL_CFG_CRC_OFFSET, expected_crc, 4) == 0 &&
             wwn_pool_cfg_import(ctrl, &cfg) == WWN_POOL_OK;
    free(ctrl);
    if (!ok) {
        fprintf(stderr, "the library's pool CRC was diverted to the program's crc32ForBuf\n");
        return EXIT_FAILURE;
    }
    return EXIT_SUCCESS;
}
