// The twelve records the administration interface exchanges with the server. Plain fixed-size
// blocks: the library zero-fills them and copies field bytes into them; LONG is 32 bits on every
// platform so that a record means the same everywhere. Misspelt names such as tagTOPPrgoram are
// the interface's own, which callers' code spells so: they are kept on purpose.
#pragma once

#include "ltpadmin/platform/win32_types.h"

struct tagUser {
    char UserID[50];
    char Text2[50];
    char Text3[50];
    char Text4[255];
    char Text5[255];
    char Text6[50];
};

struct tagGroup {
    char GroupID[50];
    char Text2[255];
};

struct tagProgram {
    LONG ProgramID;
    char Text2[50];
    char Text3[255];
    char Text4[255];
    double Real5;
    LONG Number6;
    LONG Number7;
    char Text8[255];
    char Text9[255];
    char Text10[50];
    char Text11[255];
    char Text12[255];
    char Text13[1024];
};

struct tagChannel {
    char ChannelID[50];
    char Text2[255];
    char Text3[50];
};

struct tagSchedule {
    LONG ScheduleID;
    char Text2[50];
    LONG Number3;
    double Real4;
    double Real5;
    LONG Number6;
};

struct tagGlobal {
    char Key[50];
    LONG Number2;
    char Text3[255];
    char Text4[255];
};

struct tagLogEvent {
    LONG Number1;
    double Real2;
    char Text3[50];
    char Text4[255];
};

struct tagSysInfo {
    LONG Number1;
    LONG Number2;
    LONG Number3;
    double Real4;
    LONG Number5;
};

struct tagTOPPrgoram {
    LONG Number1;
    LONG Number2;
};

struct PROGRAMSTATISTIC {
    LONG Number1;
    char Text2[50];
    LONG Number3;
    LONG Number4;
    double Real5;
    double Real6;
};

struct MTPSVR {
    char MTPSvrName[50];
    char Text2[255];
    char Text3[50];
    LONG Number4;
    LONG Number5;
    LONG Number6;
};

struct PROGRAMPATH {
    LONG ProgramID;
    char ProgramPath[255];
    double Real3;
    double Real4;
};
