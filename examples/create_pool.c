/* Creates the page 0 pool of a local WWN and prints its base, block and CRC.
 * Usage: create_pool [LOCAL_WWN_AS_16_HEX_DIGITS [PAGE]] */
#include <revevidozi.h>

#include <stdio.h>
#include <stdlib.h>

static int parse_wwn(const char *text, wwn_t *out) {
    char *end = NULL;
    unsigned long long v = strtoull(text, &end, 16);
    if (*text == '\0' || *end != '\0') {
        return -1;
    }
    for (int i = 7; i >= 0; --i, v >>= 8) {
        out->bytes[i] = (uint8_t)(v & 0xFFu);
    }
    return 0;
}

static void print_bytes(const uint8_t *p, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        printf("%02x", p[i]);
    }
}

int main(int argc, char **argv) {
    wwn_t local = {{0x10, 0x00, 0x12, 0x34, 0x56, 0x78, 0x9a, 0xbc}};
    uint32_t page = 0;
    if (argc > 1 && parse_wwn(argv[1], &local) != 0) {
        fprintf(stderr, "create_pool: '%s' is not a WWN; give 16 hex digits such as 1000123456789abc\n", argv[1]);
        return 2;
    }
    if (argc > 2) {
        page = (uint32_t)strtoul(argv[2], NULL, 10);
    }

    wwn_pool_cfg cfg = {{0}};
    wwn_pool_ctrl *ctrl = malloc(wwn_pool_sizeof_pool_ctrl());
    if (ctrl == NULL) {
        return 1;
    }
    wwn_pool_status status = wwn_pool_init(ctrl, &cfg, &local, page);
    if (status != WWN_POOL_OK) {
        fprintf(stderr, "create_pool: cannot create the pool (status %u); pages are 0 to 7\n", (unsigned)status);
        free(ctrl);
        return 1;
    }

    printf("base:  ");
    print_bytes(cfg.bytes + WWN_POOL_CFG_BASE_OFFSET, 8);
    printf("\nblock: ");
    print_bytes(cfg.bytes, sizeof cfg.bytes);
    printf("\ncrc:   ");
    print_bytes(cfg.bytes + WWN_POOL_CFG_CRC_OFFSET, 4);
    printf("\n");
    free(ctrl);
    return 0;
}
