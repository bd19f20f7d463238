// fcl help: the usage text.
#include <cstdio>

#include "commands.h"

namespace fcltool {

namespace {

constexpr const char* kUsage = R"usage(fcl - command-line host of fclib, the report formula library

Usage:
  fcl eval FORMULA [--field NAME=TYPE:VALUE ...] [settings]
      Compile and run one formula; print "<type> <value>" (number 7, string abc,
      logical true, date 2024-03-15, time 12:34:56). A failure prints the status
      code and its meaning on standard error and exits with status 1.
  fcl compile FORMULA [--field NAME=TYPE:VALUE ...] [settings]
      Print the compiled formula as hex bytes, then one line per item: the byte
      offset and the item (literal with type and value, field [Name], name Name,
      call INDEX NAME/ARGC).
  fcl report [DATA.csv] [--column "HEADER=FORMULA" ...] [--formulas FILE]
             [--group-by FIELD] [--output table|csv|json] [--threads N] [--quiet]
             [settings]
      Run formulas over every record of a CSV file: each formula is compiled once
      and executed per record; each becomes one output column. Without DATA and
      columns, runs the example report (examples/orders.csv, examples/orders.formulas,
      with the sample profile's era list unless a profile directory is set).
  fcl functions [NAME]
      List the built-in functions: index, name, argument and result types, and
      what each does (only the records of NAME when given).
  fcl gen-orders N [--seed S]
      Write N generated order records as CSV (for trying large reports).
  fcl help | fcl --help

Fields:
  TYPE is string, number, logical, time or date. Dates are yyyymmdd, yyyy/mm/dd or
  yyyy-mm-dd; times hh:mm or hh:mm:ss; logicals true/false or 1/0. A formula names
  a field as [Name] or, when the name is a plain word, as Name.

Reports:
  The CSV header row names the fields (RFC 4180 quoting; a cell may hold commas and
  line breaks); DATA "-" reads standard input. A header may carry a type:
  "Price:number", "OrderDate:date" (required on every header for standard input).
  Without one the type comes from the values: all dates -> date, all numbers ->
  number, all hh:mm:ss -> time, all true/false -> logical, else string.
  A column may use the columns before it by their header: "Amount=[Qty]*[Price]",
  then "Total=SUM([Amount])" (a field of the data wins over a column of its name).
  SUM, AVG, MIN, MAX and COUNT are running totals within each group (the runs of
  records with equal --group-by values; sort the data by that field) and start
  again with every group; empty cells are not counted. Their argument must be a
  field or column name. Each group ends with a subtotal row: the values of the
  columns that use them at the group's last record (table and json; csv stays one
  line per record). More SUM, AVG, MIN or MAX calls per record than the profile's
  SumSize, AvgSize, MinSize, MaxSize (default 10) show #limit. P forms (PSUM, ...)
  aggregate the current record. PAGE() numbers the rows.
  A formula file holds one "HEADER = FORMULA" per line, "#" comments and an
  optional "@group-by FIELD" line. Formulas that do not compile are listed with
  their status before any record runs; a record whose formula fails shows #STATUS
  in its cell (the message goes to standard error) and the report goes on.
  --threads N (1 to 64) runs the formulas on N threads, each with its own library
  handle, in chunks of records; the output is the same as with one thread. A report
  whose formulas use SUM, AVG, MIN, MAX, COUNT, their P forms or PAGE depends on the
  order of the records: it runs on one thread, with a note on standard error.
  Inputs over 100,000 records show progress on standard error; the rate in records
  per second is printed there at the end (--quiet leaves both out).

Settings:
  --text-numbers          numbers as decimal text (exact decimal arithmetic)
  --exact                 print doubles with every digit (default: 15 significant)
  --backend decimal|double  number backend of text-number mode (default decimal)
  --profile-dir DIR       read ORBISRPT.INI from DIR (default: FCLIB_PROFILE_DIR, else
                          the installed profile, else the source tree's sample profile)
  --encoding utf8|cp932   text of arguments, files and output (default utf8; the
                          library works in code page 932 and fcl converts at the edges)

A formula that starts with "-" goes after "--": fcl eval -- '-2 * 3'.

Exit status: 0 success, 1 a formula failed (or records failed in a report),
2 usage or input error.

Examples:
  fcl eval '1+2*3'
  fcl eval '[Price] * [Qty] + 1' --field Price=number:12.5 --field Qty=number:4
  fcl eval --text-numbers '0.1 + 0.2 = 0.3'
  fcl compile 'Amount > 5' --field Amount=number:1
  fcl report
  fcl report examples/orders.csv --column "Customer=[Customer]" \
      --column "Amount=[Qty]*[Price]" --column "Total=SUM(Amount)" --group-by Category
)usage";

}  // namespace

int run_help(const Options&) {
    std::fputs(kUsage, stdout);
    return kExitOk;
}

}  // namespace fcltool
