// Identifiers of the framework's own texts. The program's resource script
// holds the texts themselves, in its STRINGTABLE.
#pragma once

#define IDS_FW_ERROR             0xEF00
#define IDS_FW_OUT_OF_MEMORY     0xEF01
#define IDS_FW_NO_FILE_OPEN      0xEF02
#define IDS_FW_FILE_NOT_CREATED  0xEF03
#define IDS_FW_FILE_NOT_OPENED   0xEF04
#define IDS_FW_FILE_NOT_WRITTEN  0xEF05
#define IDS_FW_FILE_NOT_READ     0xEF06
#define IDS_FW_FILE_NOT_EMPTIED  0xEF07
#define IDS_FW_FILE_NOT_CLOSED   0xEF08
#define IDS_FW_UNEXPECTED        0xEF09
