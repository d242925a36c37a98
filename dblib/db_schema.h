#pragma once
// Schema registry: the names of the catalogue's 14 tables and their columns.
//
// Servers with case-sensitive names keep tables and columns as they were
// created ("FileList", "tBegin"), so no SQL text in the system spells a name
// itself: it takes it from a CDbSchema. Each slot starts with its built-in
// upper-case name (the member's own name) and Refresh() replaces it by the
// database's own spelling.
//
// Two variants exist. The viewer's registry (the default) knows FILELIST.TEND
// and EVENTLIST.EVENT_TIME. The settings editor's registry has no TEND column
// in FILELIST, EVENT_TYPE in place of EVENT_TIME, and looks up the columns of a
// table only when the database lists that table.

#include <cstddef>

namespace kvt {

//! Longest name a slot holds (15 characters plus the terminating zero).
inline constexpr std::size_t kSchemaNameSize = 16;

struct FileListNames {
    char name[kSchemaNameSize];
    char NINDEX[kSchemaNameSize], STA[kSchemaNameSize], TBEGIN[kSchemaNameSize],
        TQTY[kSchemaNameSize], SPS[kSchemaNameSize], GAIN[kSchemaNameSize], CPATH[kSchemaNameSize],
        COMMENT[kSchemaNameSize], DATATYPE[kSchemaNameSize], CH[kSchemaNameSize],
        CREATER[kSchemaNameSize], LDDATE[kSchemaNameSize], FOFF[kSchemaNameSize],
        CALIB[kSchemaNameSize], CALPER[kSchemaNameSize], LCODE[kSchemaNameSize],
        TEND[kSchemaNameSize];
};

struct SiteChanNames {
    char name[kSchemaNameSize];
    char NINDEX[kSchemaNameSize], STA[kSchemaNameSize], CHAN[kSchemaNameSize],
        NGROUP[kSchemaNameSize], CHANINDEX[kSchemaNameSize], EDEPTH[kSchemaNameSize],
        LAT[kSchemaNameSize], LON[kSchemaNameSize], SPS[kSchemaNameSize], HANG[kSchemaNameSize],
        VANG[kSchemaNameSize], DESCR[kSchemaNameSize], CALIBFILE[kSchemaNameSize],
        LDDATE[kSchemaNameSize], LCODE[kSchemaNameSize];
};

struct SiteNames {
    char name[kSchemaNameSize];
    char NINDEX[kSchemaNameSize], STA[kSchemaNameSize], NGROUPS[kSchemaNameSize],
        ELEV[kSchemaNameSize], LAT[kSchemaNameSize], LON[kSchemaNameSize], DESCR[kSchemaNameSize],
        LDDATE[kSchemaNameSize], DNORTH[kSchemaNameSize], DEAST[kSchemaNameSize],
        REFSTA[kSchemaNameSize];
};

struct OriginNames {
    char name[kSchemaNameSize];
    char EVENTID[kSchemaNameSize], LAT[kSchemaNameSize], LON[kSchemaNameSize],
        EDEPTH[kSchemaNameSize], ORIGINTIME[kSchemaNameSize], RMS[kSchemaNameSize],
        DH[kSchemaNameSize], DZ[kSchemaNameSize], COMMENT[kSchemaNameSize], LDDATE[kSchemaNameSize],
        ORID[kSchemaNameSize], MB[kSchemaNameSize], MBUNC[kSchemaNameSize], MS[kSchemaNameSize],
        MSUNC[kSchemaNameSize];
};

struct NetworksNames {
    char name[kSchemaNameSize];
    char NINDEX[kSchemaNameSize], NETNAME[kSchemaNameSize], NETTYPE[kSchemaNameSize],
        NETLIST[kSchemaNameSize], LDDATE[kSchemaNameSize];
};

struct LastIdNames {
    char name[kSchemaNameSize];
    char KEYNAME[kSchemaNameSize], KEYVALUE[kSchemaNameSize], LDDATE[kSchemaNameSize];
};

struct IdSensNames {
    char name[kSchemaNameSize];
    char ID_SENS[kSchemaNameSize], SENS_UNITS[kSchemaNameSize], CALIB_UNITS[kSchemaNameSize];
};

struct IdFreqNames {
    char name[kSchemaNameSize];
    char ID_FREQ[kSchemaNameSize], FREQ_UNITS[kSchemaNameSize];
};

struct GeographicRegionNames {
    char name[32];  // the one table name longer than 15 characters
    char COD2[kSchemaNameSize], REGION[kSchemaNameSize], NAME[kSchemaNameSize],
        COMMENT[kSchemaNameSize];
};

struct EventListNames {
    char name[kSchemaNameSize];
    char NINDEX[kSchemaNameSize], STA[kSchemaNameSize], TBEGIN[kSchemaNameSize],
        EVENT_TIME[kSchemaNameSize],  // viewer registry
        EVENT_TYPE[kSchemaNameSize],  // editor registry
        LDDATE[kSchemaNameSize];
};

struct EarthquakeNames {
    char name[kSchemaNameSize];
    char N[kSchemaNameSize], NINYEAR[kSchemaNameSize], REGION[kSchemaNameSize],
        DATE_IDC[kSchemaNameSize], DS[kSchemaNameSize], LAT[kSchemaNameSize], LON[kSchemaNameSize],
        DEPTH[kSchemaNameSize], MS[kSchemaNameSize], MPV[kSchemaNameSize], I0[kSchemaNameSize],
        COM[kSchemaNameSize], FEEL[kSchemaNameSize], RTIME[kSchemaNameSize],
        NSTA[kSchemaNameSize], NMB[kSchemaNameSize], NMS[kSchemaNameSize], NCSEM[kSchemaNameSize];
};

struct ContRegNames {
    char name[kSchemaNameSize];
    char LAT1[kSchemaNameSize], LON1[kSchemaNameSize], LAT2[kSchemaNameSize],
        LON2[kSchemaNameSize], NAME[kSchemaNameSize], EPN[kSchemaNameSize];
};

struct CalibrationNames {
    char name[kSchemaNameSize];
    char NETWORK[kSchemaNameSize], LOCATION[kSchemaNameSize], STA[kSchemaNameSize],
        CHAN[kSchemaNameSize], STARTDATE[kSchemaNameSize], ENDDATE[kSchemaNameSize],
        SENS[kSchemaNameSize], ID_SENS[kSchemaNameSize], FREQ[kSchemaNameSize],
        ID_FREQ[kSchemaNameSize], SAC[kSchemaNameSize], FAP[kSchemaNameSize],
        LDDATE[kSchemaNameSize];
};

struct ArrivalNames {
    char name[kSchemaNameSize];
    char NINDEX[kSchemaNameSize], FLAG[kSchemaNameSize], EVENTID[kSchemaNameSize],
        NUMB[kSchemaNameSize], STA[kSchemaNameSize], CHAN[kSchemaNameSize],
        IPHASE[kSchemaNameSize], ITIME[kSchemaNameSize], DELTIM[kSchemaNameSize],
        AZIMUTH[kSchemaNameSize], SLOW[kSchemaNameSize], EMA[kSchemaNameSize],
        RECT[kSchemaNameSize], FM[kSchemaNameSize], IM_EM[kSchemaNameSize], PER[kSchemaNameSize],
        RESIDUALS[kSchemaNameSize], AMPL[kSchemaNameSize], LDDATE[kSchemaNameSize],
        WGT[kSchemaNameSize], ARID[kSchemaNameSize], MS[kSchemaNameSize], MB[kSchemaNameSize],
        AMPTIME[kSchemaNameSize], DIST[kSchemaNameSize], CODA[kSchemaNameSize],
        REGCLASS[kSchemaNameSize], MCODA[kSchemaNameSize], MPSP[kSchemaNameSize],
        MPLP[kSchemaNameSize], CHANTYPE[kSchemaNameSize], REMARK[kSchemaNameSize],
        AFILTYPE[kSchemaNameSize], PFILTYPE[kSchemaNameSize], MWA[kSchemaNameSize];
};

class CDbSchema {
public:
    enum class Variant {
        Viewer,  //!< the library's and the viewer's registry
        Editor,  //!< the settings editor's registry (no TEND, EVENT_TYPE, listed tables only)
    };

    //! Every slot holds its built-in name from construction on.
    explicit CDbSchema(Variant variant = Variant::Viewer);
    virtual ~CDbSchema();
    CDbSchema(const CDbSchema&) = default;
    CDbSchema& operator=(const CDbSchema&) = default;

    //! Resets every slot to its built-in name, then replaces each name by the
    //! spelling the database behind hdbc (an ODBC connection handle, not owned)
    //! uses for it. Reports nothing: a table or column the database does not
    //! list, or a catalogue function that fails, leaves the built-in name.
    void Refresh(void* hdbc);

    //! Writes every built-in name into its slot (no database involved).
    void ResetToBuiltIn();

    Variant variant() const { return variant_; }
    //! The connection handle of the last Refresh (null before one).
    void* hdbc() const { return hdbc_; }

    // Table blocks in registry order. Read them as text: schema.fileList.TBEGIN.
    FileListNames fileList;
    SiteChanNames siteChan;
    SiteNames site;
    OriginNames origin;
    NetworksNames networks;
    LastIdNames lastId;
    IdSensNames idSens;
    IdFreqNames idFreq;
    GeographicRegionNames geographicRegion;
    EventListNames eventList;
    EarthquakeNames earthquake;
    ContRegNames contReg;
    CalibrationNames calibration;
    ArrivalNames arrival;

private:
    Variant variant_;
    void* hdbc_ = nullptr;
};

}  // namespace kvt
