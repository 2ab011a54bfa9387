/* The public header compiles as strict C and its functions are callable from C. */
#include <revevidozi.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define CHECK(cond)                                                                                                    \
    do {                                                                                                               \
        if (!(cond)) {                                                                                                 \
            fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #cond);                                                 \
            failures++;                                                                                                \
        }                                                                                                              \
    } while (0)

int main(void) {
    int failures = 0;
    const wwn_t local = {{0x10, 0x00, 0x12, 0x34, 0x56, 0x78, 0x9a, 0xbc}};
    const uint8_t expected_crc[4] = {0xda, 0x2b, 0x04, 0x3f};
    wwn_pool_cfg cfg;
    wwn_t base, decoded;
    uint32_t page = 0;
    wwn_pool_ctrl *ctrl = (wwn_pool_ctrl *)malloc(wwn_pool_sizeof_pool_ctrl());

    CHECK(ctrl != NULL);
    CHECK(wwn_pool_sizeof_pool_cfg() == sizeof cfg);
    CHECK(wwn_pool_init(ctrl, &cfg, &local, 0) == WWN_POOL_OK);
    CHECK(memcmp(cfg.bytes + 144, expected_crc, 4) == 0);
    CHECK(wwn_pool_cfg_import(ctrl, &cfg) == WWN_POOL_OK);
    CHECK(wwn_pool_get_local_base_wwn(&local, 5, &base) == WWN_POOL_OK);
    CHECK(wwn_pool_validate_base_addr(&base) == WWN_POOL_OK);
    CHECK(wwn_pool_addr_get_base_and_page(1, &base, &decoded, &page) == WWN_POOL_OK);
    CHECK(page == 5 && memcmp(&decoded, &local, sizeof local) == 0);
    CHECK(crc32ForBuf("123456789", 9) == 0x2639F4CBu);
    {
        crc_buf_desc tail = {"56789", 0, 0, 5, 0, NULL};
        crc_buf_desc head = {"1234", 0, 0, 4, 0, &tail};
        CHECK(crc32_Ethernet(&head) == 0x2639F4CBu);
    }
    {
        wwn_t out[2];
        wwn_pool_usage usage = {0, 0};
        char text[5];
        uint8_t bytes[2];
        CHECK(wwn_pool_addr_alloc(ctrl, &cfg, 2, out) == WWN_POOL_OK);
        CHECK(wwn_pool_addr_status(ctrl, &cfg, &out[1]) == WWN_POOL_ADDR_IN_USE);
        CHECK(wwn_pool_pool_status(ctrl, &cfg, &usage) == WWN_POOL_OK && usage.used_count == 2);
        CHECK(hbytes_to_string(out[1].bytes, text, 2) == 4 && strcmp(text, "2001") == 0);
        CHECK(string_to_hbytes("fF-1", bytes, 2) == 0 && bytes[0] == 0xff && bytes[1] == 0xff);
        CHECK(crc16_pelk("123456789", 9, 0xFFFF, 0x1021) == 0x29B1);
        {
            crc_buf_desc one = {"123456789", 0, 0, 9, 0, NULL};
            CHECK(crc32(&one) == 0xFC891918u);
        }
    }
    free(ctrl);
    return failures == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
}
