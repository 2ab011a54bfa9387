#include <revevidozi.h>

#include <stdio.h>

int main(void) {
    if (crc32ForBuf("123456789", 9) != 0x2639F4CBu || wwn_pool_sizeof_pool_cfg() != 152) {
        fprintf(stderr, "consumer: wrong results from the installed library\n");
        return 1;
    }
    printf("consumer: revevidozi %s works\n", REVEVIDOZI_VERSION_STRING);
    return 0;
}
