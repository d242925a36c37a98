#include "dblib/db_schema_slots.h"

namespace kvt::detail {

// The built-in name of every column is the name of its member.
#define KVT_COL(block, column) ColumnSlot{#column, (block).column, true}
#define KVT_FIXED(block, column) ColumnSlot{#column, (block).column, false}
#define KVT_TABLE(text, block) text, (block).name, sizeof((block).name)

std::vector<TableSlots> SchemaSlots(CDbSchema& s) {
    const bool editor = s.variant() == CDbSchema::Variant::Editor;
    auto& f = s.fileList;
    std::vector<ColumnSlot> fileListColumns{
        KVT_COL(f, NINDEX), KVT_COL(f, STA), KVT_COL(f, TBEGIN), KVT_COL(f, TQTY),
        KVT_COL(f, SPS), KVT_COL(f, GAIN), KVT_COL(f, CPATH), KVT_COL(f, COMMENT),
        KVT_COL(f, DATATYPE), KVT_COL(f, CH), KVT_COL(f, CREATER), KVT_COL(f, LDDATE),
        KVT_COL(f, FOFF), KVT_COL(f, CALIB), KVT_COL(f, CALPER), KVT_COL(f, LCODE)};
    if (!editor) fileListColumns.push_back(KVT_COL(f, TEND));

    auto& e = s.eventList;
    std::vector<ColumnSlot> eventListColumns{
        KVT_COL(e, NINDEX), KVT_COL(e, STA), KVT_COL(e, TBEGIN),
        editor ? KVT_COL(e, EVENT_TYPE) : KVT_COL(e, EVENT_TIME), KVT_COL(e, LDDATE)};

    auto& sc = s.siteChan;
    auto& si = s.site;
    auto& o = s.origin;
    auto& n = s.networks;
    auto& l = s.lastId;
    auto& is = s.idSens;
    auto& iq = s.idFreq;
    auto& g = s.geographicRegion;
    auto& q = s.earthquake;
    auto& c = s.contReg;
    auto& k = s.calibration;
    auto& a = s.arrival;
    return {
        {KVT_TABLE("FILELIST", f), std::move(fileListColumns)},
        {KVT_TABLE("SITECHAN", sc),
         {KVT_COL(sc, NINDEX), KVT_COL(sc, STA), KVT_COL(sc, CHAN), KVT_COL(sc, NGROUP),
          KVT_COL(sc, CHANINDEX), KVT_COL(sc, EDEPTH), KVT_COL(sc, LAT), KVT_COL(sc, LON),
          KVT_COL(sc, SPS), KVT_COL(sc, HANG), KVT_COL(sc, VANG), KVT_COL(sc, DESCR),
          KVT_COL(sc, CALIBFILE), KVT_COL(sc, LDDATE), KVT_COL(sc, LCODE)}},
        {KVT_TABLE("SITE", si),
         {KVT_COL(si, NINDEX), KVT_COL(si, STA), KVT_COL(si, NGROUPS), KVT_COL(si, ELEV),
          KVT_COL(si, LAT), KVT_COL(si, LON), KVT_COL(si, DESCR), KVT_COL(si, LDDATE),
          KVT_COL(si, DNORTH), KVT_COL(si, DEAST), KVT_COL(si, REFSTA)}},
        {KVT_TABLE("ORIGIN", o),
         {KVT_COL(o, EVENTID), KVT_COL(o, LAT), KVT_COL(o, LON), KVT_COL(o, EDEPTH),
          KVT_COL(o, ORIGINTIME), KVT_COL(o, RMS), KVT_COL(o, DH), KVT_COL(o, DZ),
          KVT_COL(o, COMMENT), KVT_COL(o, LDDATE), KVT_COL(o, ORID), KVT_COL(o, MB),
          KVT_COL(o, MBUNC), KVT_COL(o, MS), KVT_COL(o, MSUNC)}},
        // NETWORKS.NINDEX is never looked up: it keeps its built-in name.
        {KVT_TABLE("NETWORKS", n),
         {KVT_FIXED(n, NINDEX), KVT_COL(n, NETNAME), KVT_COL(n, NETTYPE), KVT_COL(n, NETLIST),
          KVT_COL(n, LDDATE)}},
        {KVT_TABLE("LASTID", l), {KVT_COL(l, KEYNAME), KVT_COL(l, KEYVALUE), KVT_COL(l, LDDATE)}},
        {KVT_TABLE("ID_SENS", is),
         {KVT_COL(is, ID_SENS), KVT_COL(is, SENS_UNITS), KVT_COL(is, CALIB_UNITS)}},
        {KVT_TABLE("ID_FREQ", iq), {KVT_COL(iq, ID_FREQ), KVT_COL(iq, FREQ_UNITS)}},
        {KVT_TABLE("GEOGRAPHIC_REGION", g),
         {KVT_COL(g, COD2), KVT_COL(g, REGION), KVT_COL(g, NAME), KVT_COL(g, COMMENT)}},
        {KVT_TABLE("EVENTLIST", e), std::move(eventListColumns)},
        {KVT_TABLE("EARTHQUAKE", q),
         {KVT_COL(q, N), KVT_COL(q, NINYEAR), KVT_COL(q, REGION), KVT_COL(q, DATE_IDC),
          KVT_COL(q, DS), KVT_COL(q, LAT), KVT_COL(q, LON), KVT_COL(q, DEPTH), KVT_COL(q, MS),
          KVT_COL(q, MPV), KVT_COL(q, I0), KVT_COL(q, COM), KVT_COL(q, FEEL), KVT_COL(q, RTIME),
          KVT_COL(q, NSTA), KVT_COL(q, NMB), KVT_COL(q, NMS), KVT_COL(q, NCSEM)}},
        {KVT_TABLE("CONTREG", c),
         {KVT_COL(c, LAT1), KVT_COL(c, LON1), KVT_COL(c, LAT2), KVT_COL(c, LON2),
          KVT_COL(c, NAME), KVT_COL(c, EPN)}},
        {KVT_TABLE("CALIBRATION", k),
         {KVT_COL(k, NETWORK), KVT_COL(k, LOCATION), KVT_COL(k, STA), KVT_COL(k, CHAN),
          KVT_COL(k, STARTDATE), KVT_COL(k, ENDDATE), KVT_COL(k, SENS), KVT_COL(k, ID_SENS),
          KVT_COL(k, FREQ), KVT_COL(k, ID_FREQ), KVT_COL(k, SAC), KVT_COL(k, FAP),
          KVT_COL(k, LDDATE)}},
        // ARRIVAL.FM is never looked up: it keeps its built-in name.
        {KVT_TABLE("ARRIVAL", a),
         {KVT_COL(a, NINDEX), KVT_COL(a, FLAG), KVT_COL(a, EVENTID), KVT_COL(a, NUMB),
          KVT_COL(a, STA), KVT_COL(a, CHAN), KVT_COL(a, IPHASE), KVT_COL(a, ITIME),
          KVT_COL(a, DELTIM), KVT_COL(a, AZIMUTH), KVT_COL(a, SLOW), KVT_COL(a, EMA),
          KVT_COL(a, RECT), KVT_FIXED(a, FM), KVT_COL(a, IM_EM), KVT_COL(a, PER),
          KVT_COL(a, RESIDUALS), KVT_COL(a, AMPL), KVT_COL(a, LDDATE), KVT_COL(a, WGT),
          KVT_COL(a, ARID), KVT_COL(a, MS), KVT_COL(a, MB), KVT_COL(a, AMPTIME),
          KVT_COL(a, DIST), KVT_COL(a, CODA), KVT_COL(a, REGCLASS), KVT_COL(a, MCODA),
          KVT_COL(a, MPSP), KVT_COL(a, MPLP), KVT_COL(a, CHANTYPE), KVT_COL(a, REMARK),
          KVT_COL(a, AFILTYPE), KVT_COL(a, PFILTYPE), KVT_COL(a, MWA)}},
    };
}

#undef KVT_COL
#undef KVT_FIXED
#undef KVT_TABLE

}  // namespace kvt::detail
