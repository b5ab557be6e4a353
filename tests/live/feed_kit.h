#pragma once

// Timetable feeds made by the tests: tables written into a zip as given.

#include <zip.h>

#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>

namespace tablica::testing_support {

inline void WriteFeed(const std::filesystem::path& path,
                      const std::map<std::string, std::string>& tables) {
  int code = 0;
  zip_t* archive = zip_open(path.string().c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
  if (!archive) throw std::runtime_error("zip_open");
  for (const auto& [name, text] : tables) {
    zip_source_t* source = zip_source_buffer(archive, text.data(), text.size(), 0);
    if (!source || zip_file_add(archive, name.c_str(), source, ZIP_FL_OVERWRITE) < 0) {
      throw std::runtime_error("zip_file_add");
    }
  }
  if (zip_close(archive) != 0) throw std::runtime_error("zip_close");
}

// A small feed with a case of every rule: see departures_test.cpp.
inline const std::map<std::string, std::string> kSmallFeed = {
    {"agency.txt",
     "agency_id,agency_name,agency_url,agency_timezone\r\nA,MPK,http://mpk.example,Europe/"
     "Warsaw\r\n"},
    {"stops.txt",
     "\xEF\xBB\xBFstop_name,stop_id,extra,location_type,parent_station,stop_timezone\r\n"
     "\"Dworzec \"\"Główny\"\"\",S,x,1,,\r\n"
     "\"Peron 1, wschód\",S1,x,0,S,\r\n"
     "Peron 2,S2,x,0,S,\r\n"
     "Rynek,R,x,0,,\r\n"
     "Pętla,P,x,0,,\r\n"
     "Lwów,L,x,0,,Europe/Kyiv\r\n"},
    {"routes.txt",
     "route_id,agency_id,route_short_name,route_long_name,route_type\n"
     "R4,A,4,Pętla - Dworzec,3\nRN,A,,Nocny,3\n"},
    {"trips.txt",
     "route_id,service_id,trip_id,trip_headsign\n"
     "R4,WK,T1,Pętla\nR4,WK,T2,Pętla\nRN,WK,T3,\nR4,WK,T4,Dworzec\nR4,DOD,T5,Rynek\n"
     "R4,OFF,T6,Nigdy\nRN,TUE,T7,\nR4,WK,T8,Co 20\nR4,WK,T9,Lwów\nR4,WK,T10,\nR4,WK,T11,Nie\n"
     "R4,SUN,T12,Zmiana czasu\n"},
    {"calendar.txt",
     "service_id,monday,tuesday,wednesday,thursday,friday,saturday,sunday,start_date,end_date\n"
     "WK,1,1,1,1,1,0,0,20260101,20261231\nOFF,1,1,1,1,1,1,1,20260101,20261231\n"
     "TUE,0,1,0,0,0,0,0,20260101,20261231\nSUN,0,0,0,0,0,0,1,20260101,20261231\n"},
    {"calendar_dates.txt", "service_id,date,exception_type\nDOD,20261209,1\nOFF,20261209,2\n"},
    {"frequencies.txt",
     "trip_id,start_time,end_time,headway_secs,exact_times\nT8,07:00:00,09:00:00,1200,1\n"},
    {"stop_times.txt",
     "trip_id,stop_sequence,stop_id,arrival_time,departure_time,pickup_type,stop_headsign\r\n"
     "T1,1,S1,08:05:00,08:05:00,,\r\n"
     "T1,2,R,08:15:00,08:15:00,,\r\n"
     "T1,3,P,08:25:00,08:25:00,,\r\n"
     "T2,1,S1,08:10:00,08:10:00,0,Rynek przez most\r\n"
     "T2,2,P,08:30:00,08:30:00,,\r\n"
     "T3,1,R,07:55:00,07:55:00,,\r\n"
     "T3,2,S1,08:12:00,08:12:00,,\r\n"
     "T4,1,P,07:40:00,07:40:00,,\r\n"
     "T4,2,S2,08:02:00,08:02:00,,\r\n"
     "T5,1,S2,08:20:00,08:20:00,,\r\n"
     "T5,2,R,08:30:00,08:30:00,,\r\n"
     "T6,1,S2,08:21:00,08:21:00,,\r\n"
     "T6,2,R,08:31:00,08:31:00,,\r\n"
     "T7,1,S2,32:30:00,32:30:00,,\r\n"
     "T7,2,P,32:40:00,32:40:00,,\r\n"
     "T8,1,S2,10:00:00,10:00:00,,\r\n"
     "T8,2,P,10:10:00,10:10:00,,\r\n"
     "T9,1,L,08:50:00,08:50:00,,\r\n"
     "T9,2,P,09:50:00,09:50:00,,\r\n"
     "T10,1,P,08:00:00,08:00:00,,\r\n"
     "T10,2,S2,,,,\r\n"
     "T10,3,R,08:40:00,08:40:00,,\r\n"
     "T11,1,S1,08:11:00,08:11:00,1,\r\n"
     "T11,2,P,08:21:00,08:21:00,,\r\n"
     "T12,1,S1,10:00:00,10:00:00,,\r\n"
     "T12,2,P,10:10:00,10:10:00,,\r\n"
     "T3,3,P,08:30:00,08:30:00,,\r\n"},
};

}  // namespace tablica::testing_support
