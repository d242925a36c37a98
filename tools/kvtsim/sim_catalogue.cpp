#include "sim_catalogue.h"

#include "dblib/odbc_statement.h"
#include "dblib/wave_database.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace kvt::sim {

namespace {

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Literal(const std::string& v) { return "'" + SqlQuote(v) + "'"; }

std::string Run(CWaveDatabase& db, const std::string& sql) {
    OdbcStatement st(db.hdbc());
    if (st.ExecDirect(sql)) return {};
    return (st.diagnostic().empty() ? std::string("statement failed") : st.diagnostic()) +
           " [" + sql + "]";
}

bool Records(const NetworkStation& st) {
    return std::any_of(st.channels.begin(), st.channels.end(),
                       [](const NetworkChannel& c) { return c.fileRate > 0; });
}

// Rough geographic position of a point of the network plane: the centre lies
// at 55 N 37 E.
void LatLon(const NetworkStation& st, double& lat, double& lon) {
    lat = 55 + st.northKm / 111.2;
    lon = 37 + st.eastKm / (111.2 * std::cos(55 * M_PI / 180));
}

}  // namespace

std::vector<std::string> SplitScript(const std::string& script) {
    std::vector<std::string> out;
    std::istringstream in(script);
    std::string line, current;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const auto first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line.compare(first, 2, "--") == 0) continue;
        current += line;
        current += '\n';
        const auto last = line.find_last_not_of(" \t");
        if (line[last] == ';') {
            current.erase(current.find_last_of(';'));
            out.push_back(current);
            current.clear();
        }
    }
    if (current.find_first_not_of(" \t\n") != std::string::npos) out.push_back(current);
    return out;
}

std::string ScriptForServer(const std::string& dbmsName) {
    const std::string n = Lower(dbmsName);
    if (n.find("sqlite") != std::string::npos) return "sqlite.sql";
    if (n.find("postgres") != std::string::npos) return "postgresql.sql";
    if (n.find("mariadb") != std::string::npos || n.find("mysql") != std::string::npos)
        return "mariadb.sql";
    return {};
}

std::string EnsureCatalogue(CWaveDatabase& db, const std::string& schemaDir, bool& created) {
    created = false;
    if (db.Probe()) return {};
    std::string name, version;
    if (db.GetServerInfo(name, version) != 0) return "cannot ask the server's name: " + db.lastDiagnostic();
    const std::string file = ScriptForServer(name);
    if (file.empty()) return "no FILELIST table, and no catalogue script for the server '" + name + "'";
    const std::string path = schemaDir + "/" + file;
    std::ifstream in(path, std::ios::binary);
    if (!in) return "no FILELIST table, and the catalogue script " + path + " cannot be read";
    std::stringstream text;
    text << in.rdbuf();
    for (const std::string& sql : SplitScript(text.str())) {
        std::string err = Run(db, sql);
        if (!err.empty()) return "creating the catalogue: " + err;
    }
    created = true;
    // A fresh connection refreshes the registry with the new tables' spelling
    // and finds the TEND column that the first connect missed.
    db.SetParameter("use_tend", "1");
    if (!db.Connect()) return "reconnecting after creating the catalogue: " + db.lastDiagnostic();
    return {};
}

std::string DescribeNetwork(CWaveDatabase& db, const std::vector<NetworkStation>& net) {
    const SiteChanNames& t = db.schema().siteChan;
    for (const NetworkStation& st : net) {
        double lat = 0, lon = 0;
        LatLon(st, lat, lon);
        for (const NetworkChannel& c : st.channels) {
            std::string err = Run(db, std::string("delete from ") + t.name + " where " + t.STA + "=" +
                                          Literal(c.station) + " and " + t.CHAN + "=" + Literal(c.channel));
            if (!err.empty()) return err;
            if (c.describedRate <= 0) continue;
            char numbers[128];
            std::snprintf(numbers, sizeof numbers, "%.4f,%.5f,%.5f", c.describedRate, lat, lon);
            err = Run(db, std::string("insert into ") + t.name + "(" + t.STA + "," + t.CHAN + "," +
                              t.LCODE + "," + t.SPS + "," + t.LAT + "," + t.LON + "," + t.DESCR +
                              ") values(" + Literal(c.station) + "," + Literal(c.channel) + "," +
                              (c.locationCode.empty() ? std::string("NULL") : Literal(c.locationCode)) +
                              "," + numbers + ",'kvtsim')");
            if (!err.empty()) return err;
        }
    }
    return {};
}

std::string ForgetEvents(CWaveDatabase& db, const std::vector<NetworkStation>& net, double from) {
    const EventListNames& t = db.schema().eventList;
    char time[64];
    std::snprintf(time, sizeof time, "%.4f", from);
    for (const NetworkStation& st : net) {
        std::string err = Run(db, std::string("delete from ") + t.name + " where " + t.STA + "=" +
                                      Literal(st.code) + " and " + t.TBEGIN + ">=" + time);
        if (!err.empty()) return err;
    }
    return {};
}

std::string EnterEvent(CWaveDatabase& db, const std::vector<NetworkStation>& net, const Quake& q,
                       double maxKm) {
    const EventListNames& t = db.schema().eventList;
    for (const NetworkStation& st : net) {
        const double d = DistanceKm(st, q.eastKm, q.northKm);
        if (d > maxKm || !Records(st)) continue;
        char values[96];
        std::snprintf(values, sizeof values, ",%.4f,%.4f)", TravelTimes(q, d).p, q.originTime);
        std::string err = Run(db, std::string("insert into ") + t.name + "(" + t.STA + "," + t.TBEGIN +
                                      "," + t.EVENT_TIME + ") values(" + Literal(st.code) + values);
        if (!err.empty()) return err;
    }
    return {};
}

}  // namespace kvt::sim
