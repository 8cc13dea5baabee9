// Identifiers of the messages in vorlix.rc's STRINGTABLE, beside the texts.
#pragma once

// %1, %2, ... are their inserts, in the order the code gives them.
#define IDS_PORT_LOST               200
#define IDS_PORT_NOT_BACK           201
#define IDS_PORT_NOT_OPEN           202
#define IDS_PORT_NOT_THERE          203
#define IDS_PORT_BUSY               204
#define IDS_PORT_CANNOT_OPEN        205
#define IDS_PORT_NOT_CONFIGURED     206
#define IDS_PORT_NO_ANSWER          207
#define IDS_PORT_ALREADY_OPEN       208
#define IDS_PORT_OPEN_NO_CHANGE     209
#define IDS_PORT_OPEN_NO_BUFFER     210
#define IDS_PORT_NUMBER_INVALID     211
#define IDS_CONTROL_NOT_READY       212
#define IDS_SETTINGS_INVALID        213
#define IDS_BUFFER_SIZE_INVALID     214
#define IDS_PORTS_ON_THIS_PC        215
#define IDS_PORTS_NONE              216
#define IDS_TABLE_FILTER            220
#define IDS_TABLE_REPLACE           221
#define IDS_TABLE_NOT_OPENED        222
#define IDS_TABLE_IN_USE            250
#define IDS_RUN_PORT_LOST           223
#define IDS_RUN_PORT_LOST_UNWRITTEN 224
#define IDS_RUN_INCOMPLETE          225
#define IDS_RUN_NOTHING             226
#define IDS_TABLE_KEPT              227
#define IDS_TABLE_NOT_MADE          228
#define IDS_RUN_AGAIN               229
#define IDS_RUN_LATE                236
#define IDS_CAUSE_UNWRITTEN         231
#define IDS_CAUSE_LINE_ERRORS       232
#define IDS_CAUSE_READS_FAILED      233
#define IDS_CAUSE_INSIDE_LINE       234
#define IDS_CAUSE_SLEPT             235
#define IDS_ERASE_AFTER_NOTHING     260
#define IDS_ERASE_AFTER_LOSS        261
#define IDS_ERASE_AFTER_INCOMPLETE  262
#define IDS_ERASE_NOT_SENT          263
#define IDS_ERASE_NOT_SENT_LATE     264
#define IDS_SETTING_NOT_SAVED       230
#define IDS_SETTING_NOT_READ        251
#define IDS_PORT_HELD               240
