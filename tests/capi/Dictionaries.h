/* Dictionary text for the C interface's tests: records written as the
 * dictionary text file holds them. */
#ifndef VKC_TESTS_CAPI_DICTIONARIES_H
#define VKC_TESTS_CAPI_DICTIONARIES_H

#define VKC_HEADER \
    "Veskaloran VKCStringDict::SaveToTXTFileA Ver.0.19 2026-01-01 00:00:00\r\n\r\n\r\n"
#define VKC_ENG(number, eng) \
    "\r\nmirok_res_No." number "\r\nmirok_res_ENG_Start\r\n" eng "\r\nmirok_res_ENG_End\r\n"
#define VKC_CHI(chi) "mirok_res_CHI_Start\r\n" chi "\r\nmirok_res_CHI_End\r\n"
#define VKC_REMARK(remark) "mirok_res_Remark00_Start\r\n" remark "\r\nmirok_res_Remark00_End\r\n"
#define VKC_RECORD(number, eng, chi, remark) VKC_ENG(number, eng) VKC_CHI(chi) VKC_REMARK(remark)
#define VKC_END "\r\n\r\n\r\nmirok_res_All_End\r\n"

/* Three records in ENG order; "Hello world" has a GBK translation of four
 * two-byte characters. */
#define VKC_THREE                                                                     \
    VKC_HEADER VKC_RECORD("00000000", "Apple", "PING GUO", "fruit")                   \
        VKC_RECORD("00000001", "Hello world", "\xC4\xE3\xBA\xC3\xCA\xC0\xBD\xE7", "") \
            VKC_RECORD("00000002", "Zebra", "", "animal") VKC_END

#endif
