/*
 * revevidozi - Fibre Channel World Wide Name pools, CRC routines and hex text.
 *
 * Every host derives eight disjoint pools of 1024 WWNs from its own IEEE
 * address. A pool lives in two pieces of caller-owned memory: a 152-byte
 * configuration block (a self-contained byte image that may be stored and
 * adopted again) and a process-local control object holding the pool's mutex.
 * The library allocates nothing and keeps no state besides its CRC-32 table.
 *
 * Plain C interface; usable from C99 and C++.
 */
#ifndef REVEVIDOZI_H
#define REVEVIDOZI_H

#include <stddef.h>
#include <stdint.h>

#define REVEVIDOZI_VERSION_MAJOR 1
#define REVEVIDOZI_VERSION_MINOR 0
#define REVEVIDOZI_VERSION_STRING "1.0"

#if defined(REVEVIDOZI_BUILDING_LIBRARY)
#define REVEVIDOZI_API __attribute__((visibility("default")))
#else
#define REVEVIDOZI_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ------------------------------------------------------------------------ */
/* Types                                                                     */
/* ------------------------------------------------------------------------ */

/* A World Wide Name: 8 bytes, most significant first. The high nibble of
 * bytes[0] is the NAA type (1 local name, 2 and 5 pool addresses). */
typedef struct wwn_t {
    uint8_t bytes[8];
} wwn_t;

/* Size in bytes of a pool configuration block, on every platform. */
#define WWN_POOL_CFG_SIZE 152

/* A pool configuration block: a fixed byte image that may be copied, stored
 * and adopted again with wwn_pool_cfg_import(). Layout (big-endian numbers;
 * the offsets are named below):
 *   0 version (1)   1..3 must be zero   4..7 reserved
 *   8..15 base WWN  16..143 allocation bitmap (32 words of 32 bits)
 *   144..147 CRC of bytes 8..143        148..151 reserved */
typedef struct wwn_pool_cfg {
    uint8_t bytes[WWN_POOL_CFG_SIZE];
} wwn_pool_cfg;

/* Where the fields of a block start, for code that stores or inspects one. */
#define WWN_POOL_CFG_VERSION_OFFSET 0
#define WWN_POOL_CFG_BASE_OFFSET 8    /* the pool's base WWN, 8 bytes */
#define WWN_POOL_CFG_BITMAP_OFFSET 16 /* 32 words of 32 bits, most significant byte first */
#define WWN_POOL_CFG_BITMAP_SIZE 128  /* index i is bit i % 32 of word i / 32 */
#define WWN_POOL_CFG_CRC_OFFSET 144   /* crc32ForBuf() of bytes 8..143, most significant byte first */
#define WWN_POOL_CFG_RESERVED_OFFSET 148

/* A pool's control object: its process-local mutex. Opaque; allocate
 * wwn_pool_sizeof_pool_ctrl() bytes with malloc() alignment. */
typedef struct wwn_pool_ctrl wwn_pool_ctrl;

/* Status of a pool operation. The numbers have gaps on purpose: stored
 * results and callers compare against these exact values, so none may move. */
typedef uint32_t wwn_pool_status;

#define WWN_POOL_OK UINT32_C(0)                       /* success */
#define WWN_POOL_ERR_INVALID_ARG UINT32_C(3)          /* a required pointer is null */
#define WWN_POOL_ERR_CRC UINT32_C(5)                  /* the block's stored CRC does not match its contents */
#define WWN_POOL_ERR_CFG_VERSION UINT32_C(6)          /* the block's version byte is not 1 */
#define WWN_POOL_ERR_BAD_BASE UINT32_C(7)             /* not a pool base, or a base of neither pool layout */
#define WWN_POOL_ERR_BAD_PAGE UINT32_C(8)             /* page above 7 */
#define WWN_POOL_ERR_NOT_IN_POOL UINT32_C(22)         /* the address belongs to another pool */
#define WWN_POOL_ERR_BAD_NAA UINT32_C(23)             /* the address's NAA type is neither 2 nor 5 */
#define WWN_POOL_ADDR_FREE UINT32_C(24)               /* the address is free (status answer, or refused release) */
#define WWN_POOL_ERR_UNSUPPORTED_VERSION UINT32_C(25) /* address layout version other than 1 */
#define WWN_POOL_ADDR_IN_USE UINT32_C(26)             /* the address is allocated, or a batch exceeds the free count */

/* A status in words, for messages: "address already allocated" and so on.
 * Never null; a number that is no status gives "unknown pool status". */
static inline const char *wwn_pool_status_text(wwn_pool_status status) {
    switch (status) {
    case WWN_POOL_OK:
        return "success";
    case WWN_POOL_ERR_INVALID_ARG:
        return "a required pointer is null";
    case WWN_POOL_ERR_CRC:
        return "pool block damaged (CRC mismatch)";
    case WWN_POOL_ERR_CFG_VERSION:
        return "pool block of an unknown version";
    case WWN_POOL_ERR_BAD_BASE:
        return "not a pool base address";
    case WWN_POOL_ERR_BAD_PAGE:
        return "page out of range (0 to 7)";
    case WWN_POOL_ERR_NOT_IN_POOL:
        return "address belongs to another pool";
    case WWN_POOL_ERR_BAD_NAA:
        return "not a pool address (NAA type neither 2 nor 5)";
    case WWN_POOL_ADDR_FREE:
        return "address is free";
    case WWN_POOL_ERR_UNSUPPORTED_VERSION:
        return "unsupported address layout version";
    case WWN_POOL_ADDR_IN_USE:
        return "address already allocated";
    default:
        return "unknown pool status";
    }
}

/* ------------------------------------------------------------------------ */
/* Address arithmetic: pure computations, no lock, no pool block.            */
/* A local WWN is 10:00 followed by the host's 48-bit IEEE address M; only M */
/* is read. Pages 0..3 give NAA 2 pools, pages 4..7 NAA 5 pools.             */
/* ------------------------------------------------------------------------ */

/* Writes the base WWN (index 0) of the pool of `page` of `local_wwn`.
 * Returns WWN_POOL_ERR_BAD_PAGE, leaving *base untouched, when page > 7.
 * Pointers are not tested. */
REVEVIDOZI_API wwn_pool_status wwn_pool_get_local_base_wwn(const wwn_t *local_wwn, uint32_t page, wwn_t *base);

/* WWN_POOL_OK when *base is an NAA 2 or NAA 5 value with a zero index field,
 * else WWN_POOL_ERR_BAD_BASE. The pointer is not tested. */
REVEVIDOZI_API wwn_pool_status wwn_pool_validate_base_addr(const wwn_t *base);

/* Maps a pool address back to its local WWN and page, for layout `version`
 * (only 1 exists). WWN_POOL_ERR_INVALID_ARG if any pointer is null,
 * WWN_POOL_ERR_UNSUPPORTED_VERSION (nothing written) if version != 1, else as
 * wwn_pool_proc_vers1_addr_get_base_and_page(). */
REVEVIDOZI_API wwn_pool_status wwn_pool_addr_get_base_and_page(int32_t version, const wwn_t *addr, wwn_t *local_wwn,
                                                               uint32_t *page);

/* Layout-1 reverse decode. WWN_POOL_OK with *local_wwn = 10:00 + M and *page.
 * For an address of NAA type other than 2 or 5 returns WWN_POOL_ERR_BAD_NAA:
 * *page is untouched and only the first two bytes of *local_wwn are written
 * (as 10 00; kept so, as existing callers see it). Pointers are not tested. */
REVEVIDOZI_API wwn_pool_status wwn_pool_proc_vers1_addr_get_base_and_page(const wwn_t *addr, wwn_t *local_wwn,
                                                                          uint32_t *page);

/* ------------------------------------------------------------------------ */
/* Pool block and lifecycle                                                  */
/* ------------------------------------------------------------------------ */

/* Size of a pool configuration block: always 152. */
REVEVIDOZI_API uint32_t wwn_pool_sizeof_pool_cfg(void);

/* Size of a control object: the size of the platform's pthread mutex. */
REVEVIDOZI_API uint32_t wwn_pool_sizeof_pool_ctrl(void);

/* Creates (or resets) a pool: initialises ctrl's mutex and writes a fresh
 * block for `page` of `local_wwn`, every address free, with its CRC.
 * WWN_POOL_ERR_INVALID_ARG (nothing written) on a null pointer.
 * WWN_POOL_ERR_BAD_PAGE when page > 7: the mutex is initialised and the
 * version and must-be-zero bytes are written, base/bitmap/CRC keep their old
 * bytes (long-standing behaviour that callers may rely on, so it stays).
 * Not thread-safe: no other thread may use ctrl or cfg meanwhile. */
REVEVIDOZI_API wwn_pool_status wwn_pool_init(wwn_pool_ctrl *ctrl, wwn_pool_cfg *cfg, const wwn_t *local_wwn,
                                             uint32_t page);

/* Adopts a stored block with a fresh control object: verifies the CRC
 * (WWN_POOL_ERR_CRC) and the version (WWN_POOL_ERR_CFG_VERSION), then
 * initialises ctrl's mutex. Never modifies the block. Not thread-safe, as
 * wwn_pool_init(). */
REVEVIDOZI_API wwn_pool_status wwn_pool_cfg_import(wwn_pool_ctrl *ctrl, const wwn_pool_cfg *cfg);

/* ------------------------------------------------------------------------ */
/* Locked pool operations: the public working interface. Any number of       */
/* threads may call these on one pool. Each takes the pool's mutex, verifies  */
/* the block (WWN_POOL_ERR_CRC, then WWN_POOL_ERR_CFG_VERSION: the block is   */
/* then left exactly as found), runs the operation, renews the block's CRC    */
/* whatever the operation's status, and unlocks. A null pointer gives         */
/* WWN_POOL_ERR_INVALID_ARG without locking. ctrl must have been made ready   */
/* by wwn_pool_init() or wwn_pool_cfg_import().                               */
/* ------------------------------------------------------------------------ */

/* Usage counts of a pool, filled by wwn_pool_pool_status(). */
typedef struct wwn_pool_usage {
    uint32_t free_count; /* 1024 - used_count */
    uint32_t used_count; /* allocated addresses */
} wwn_pool_usage;

/* Allocates the `count` lowest free addresses into out[0..count-1], in
 * increasing order. WWN_POOL_ADDR_IN_USE, nothing written, when fewer than
 * count are free; a count of 0 or less succeeds and writes nothing. */
REVEVIDOZI_API wwn_pool_status wwn_pool_addr_alloc(wwn_pool_ctrl *ctrl, wwn_pool_cfg *cfg, int32_t count, wwn_t *out);

/* Allocates the address the caller chooses: WWN_POOL_ADDR_IN_USE if it already
 * is; WWN_POOL_ERR_NOT_IN_POOL / WWN_POOL_ERR_BAD_NAA if it is no address of
 * this pool. */
REVEVIDOZI_API wwn_pool_status wwn_pool_usr_addr_alloc(wwn_pool_ctrl *ctrl, wwn_pool_cfg *cfg, const wwn_t *addr);

/* Frees one address: WWN_POOL_ADDR_FREE if it was not allocated;
 * WWN_POOL_ERR_NOT_IN_POOL / WWN_POOL_ERR_BAD_NAA as above. */
REVEVIDOZI_API wwn_pool_status wwn_pool_addr_release(wwn_pool_ctrl *ctrl, wwn_pool_cfg *cfg, const wwn_t *addr);

/* Frees every address of the pool. */
REVEVIDOZI_API wwn_pool_status wwn_pool_addr_release_all(wwn_pool_ctrl *ctrl, wwn_pool_cfg *cfg);

/* Answers WWN_POOL_ADDR_IN_USE or WWN_POOL_ADDR_FREE for one address (or
 * WWN_POOL_ERR_NOT_IN_POOL / WWN_POOL_ERR_BAD_NAA); changes no byte. */
REVEVIDOZI_API wwn_pool_status wwn_pool_addr_status(wwn_pool_ctrl *ctrl, wwn_pool_cfg *cfg, const wwn_t *addr);

/* Fills *usage with the pool's free and used counts. Verifies the block like
 * the others but never rewrites it. */
REVEVIDOZI_API wwn_pool_status wwn_pool_pool_status(wwn_pool_ctrl *ctrl, const wwn_pool_cfg *cfg,
                                                    wwn_pool_usage *usage);

/* ------------------------------------------------------------------------ */
/* Unlocked operations on a pool's base (block bytes 8..15) and bitmap       */
/* (block bytes 16..143), for callers that serialise access themselves or    */
/* work on a private copy. No lock, no null tests, no CRC check or renewal:  */
/* a block changed through these needs its CRC renewed before it is used     */
/* with the locked operations again.                                         */
/* ------------------------------------------------------------------------ */

/* As wwn_pool_addr_alloc(); also WWN_POOL_ERR_BAD_BASE (nothing written) when
 * the base is of neither pool layout and an address would be formed. */
REVEVIDOZI_API wwn_pool_status wwn_pool_proc_addr_alloc(const wwn_t *base, uint8_t *bitmap, int32_t count, wwn_t *out);
REVEVIDOZI_API wwn_pool_status wwn_pool_proc_usr_addr_alloc(const wwn_t *base, uint8_t *bitmap, const wwn_t *addr);
REVEVIDOZI_API wwn_pool_status wwn_pool_proc_addr_release(const wwn_t *base, uint8_t *bitmap, const wwn_t *addr);
REVEVIDOZI_API wwn_pool_status wwn_pool_proc_addr_release_all(uint8_t *bitmap);
REVEVIDOZI_API wwn_pool_status wwn_pool_proc_addr_status(const wwn_t *base, const uint8_t *bitmap, const wwn_t *addr);

/* ------------------------------------------------------------------------ */
/* Pool dump                                                                 */
/* ------------------------------------------------------------------------ */

/* Prints a block on standard output as three lines of hex text, valid or
 * not: "Version: 0x01   Mbz: 0x000000   Crc: 0x........", "POOL_INFO:", and
 * the 272 digits of bytes 8..143 followed by a blank. No lock is taken and
 * nothing is checked; cfg must not be null. Returns 0. */
REVEVIDOZI_API uint32_t print_pool_info(const wwn_pool_cfg *cfg);

/* ------------------------------------------------------------------------ */
/* Hex text                                                                  */
/* ------------------------------------------------------------------------ */

/* Writes n bytes as 2n lowercase hex digits ("%02x" each) and a NUL to text,
 * which must hold 2n + 1 characters. Returns 2n. For n == 0 nothing is
 * written, not even the NUL (kept: callers may pass no room at all then). */
REVEVIDOZI_API uint32_t hbytes_to_string(const void *bytes, char *text, uint32_t n);

/* Reads n bytes from the 2n characters at text, two per byte, exactly as
 * strtoul(pair, NULL, 16) would read each pair on its own ("ff" and "FF" give
 * 0xff, "7z" 0x07, " 7" 0x07, "-1" 0xff, anything unreadable 0x00). The text
 * need not be terminated; a NUL is read like any other character. Reports no
 * error; returns 0. Independent of the locale. */
REVEVIDOZI_API uint32_t string_to_hbytes(const char *text, void *bytes, uint32_t n);

/* ------------------------------------------------------------------------ */
/* Table-driven CRC-32 (IEEE 802.3)                                          */
/* ------------------------------------------------------------------------ */

/* One record of a caller-owned chain of buffers. The chain's message is the
 * concatenation of the `len` bytes at (const uint8_t *)buf + offset of every
 * record, in chain order. aux1 and aux2 belong to the caller and are never
 * touched. The last record's `next` must be null. */
typedef struct crc_buf_desc {
    const void *buf;
    uintptr_t aux1;
    uint32_t offset;
    uint32_t len;
    uintptr_t aux2;
    struct crc_buf_desc *next;
} crc_buf_desc;

/* The standard CRC-32 (CRC-32/ISO-HDLC) of `len` bytes, returned with its four
 * bytes reversed: "123456789" gives 0x2639F4CB. The order stays as it is:
 * every stored pool block's CRC is written in it. A null pointer gives 0.
 * Thread-safe, including the very first call (which builds the table). */
REVEVIDOZI_API uint32_t crc32ForBuf(const void *buf, uint32_t len);

/* crc32ForBuf() of a chain's message, however it is split into records.
 * A null chain gives 0. */
REVEVIDOZI_API uint32_t crc32_Ethernet(const crc_buf_desc *chain);

/* ------------------------------------------------------------------------ */
/* Bit-serial CRC family: MSB first, no table, no shared state; any number   */
/* of threads. Each returns the CRC in the low bits of the result (higher    */
/* bits zero). A length below 1 reads no byte (buf may then be null) and     */
/* returns what the initial value alone gives. Only the low w bits of the    */
/* initial value (and of crc16_pelk's polynomial) are used. To CRC a        */
/* message in pieces, pass each piece's result as the next initial value.    */
/*                                                                           */
/* Results on "123456789", and the published models they equal:             */
/*   crc32 (chain)                    0xFC891918  CRC-32/BZIP2               */
/*   crc32_orbo  initial 0xFFFFFFFF   0x0376E6E7  CRC-32/MPEG-2              */
/*   crc32_orbo  initial 0            0x89A1897F                             */
/*   crc16       initial 0            0xFEE8      CRC-16/UMTS                */
/*   crc16       initial 0xFFFF       0xAEE7                                 */
/*   crc16_pelk  0xFFFF, poly 0x1021  0x29B1      CRC-16/IBM-3740            */
/*   crc16_pelk  0, poly 0x1021       0x31C3      CRC-16/XMODEM              */
/*   crc10       initial 0            0x199       CRC-10/ATM                 */
/*   crc10       initial 0x3FF        0x058                                  */
/*   crc10_orbo_rte  initial 0        0x3F3                                  */
/*   crc10_orbo_rte  initial 0x3FF    0x116                                  */
/*   crc8_VOM/ZEK    initial 0        0x0B        complement of CRC-8/SMBUS  */
/*   crc8_VOM/ZEK    initial 0xFF     0x04                                   */
/* ------------------------------------------------------------------------ */

/* CRC-8, polynomial 0x07; returns the register XOR 0xFF, so passing a result
 * XOR 0xFF as the next initial value continues a split message.
 * crc8_VOM and crc8_ZEK are the same routine under two names. */
REVEVIDOZI_API uint32_t crc8_VOM(const void *buf, int32_t len, uint32_t initial);
REVEVIDOZI_API uint32_t crc8_ZEK(const void *buf, int32_t len, uint32_t initial);

/* CRC-10, polynomial 0x233 (CRC-10/ATM with initial value 0). */
REVEVIDOZI_API uint32_t crc10(const void *buf, int32_t len, uint32_t initial);

/* crc10, except that the byte at index 8 contributes only its six most
 * significant bits (a 9-byte message is a 70-bit one). */
REVEVIDOZI_API uint32_t crc10_orbo_rte(const void *buf, int32_t len, uint32_t initial);

/* CRC-16, polynomial 0x8005 (CRC-16/UMTS with initial value 0). */
REVEVIDOZI_API uint32_t crc16(const void *buf, int32_t len, uint32_t initial);

/* CRC-16 with the caller's polynomial in normal form (low 16 bits; bit 0 is
 * always taken as set, so an even value acts as the next odd one). */
REVEVIDOZI_API uint32_t crc16_pelk(const void *buf, int32_t len, uint32_t initial, uint32_t poly);

/* CRC-32, polynomial 0x04C11DB7, register neither reflected nor inverted
 * (CRC-32/MPEG-2 with initial value 0xFFFFFFFF). */
REVEVIDOZI_API uint32_t crc32_orbo(const void *buf, int32_t len, uint32_t initial);

/* CRC-32/BZIP2 of a chain's message (initial value and final XOR all ones);
 * 0 for a null chain.
 *
 * NAME CLASH WITH ZLIB: zlib exports an unversioned function of this same
 * name. In a process that loads both libraries, every caller that binds the
 * plain name "crc32" gets whichever the dynamic linker finds first. Programs
 * that also use zlib should call zlib's crc32_z() instead of its crc32(), and
 * may define REVEVIDOZI_NO_CRC32 before including this header so that it
 * does not clash with <zlib.h> in the same translation unit. */
#ifndef REVEVIDOZI_NO_CRC32
REVEVIDOZI_API uint32_t crc32(const crc_buf_desc *chain);
#endif

#ifdef __cplusplus
}
#endif

#endif /* REVEVIDOZI_H */
