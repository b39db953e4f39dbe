-- Organisation, report and rule tables of the report database, as the checks
-- read them. Names are unquoted, so PostgreSQL keeps them in lower case; the
-- program's statements name them in either case.
--
-- Codes, ids and periods are text; cell positions (ROW, COL) and the numeric
-- parts of the rule tables are integers, which the statements compare with
-- quoted literals such as row = '3'. Cell values (VAL) are text, so val > '0'
-- compares texts, byte by byte under collation C.

-- Organisations: D0107 dotted code (3, 7, 11, 15... characters), D0127 the
-- parent's code (empty or NULL at the top), D0101 the name; useful = '0' for
-- the organisations in use.
CREATE TABLE D01 (
  D0107  VARCHAR(60) PRIMARY KEY,
  D0127  VARCHAR(60),
  D0101  VARCHAR(200),
  useful VARCHAR(1) NOT NULL DEFAULT '0'
);

-- Report templates (tables of the annual report).
CREATE TABLE RPTTEMPLATE (
  RPTID   VARCHAR(20) PRIMARY KEY,
  TYPE    VARCHAR(10),
  RPTNAME VARCHAR(200)
);

-- One organisation's filled-in template for one period.
CREATE TABLE RPTREPORT (
  REPORTID  INTEGER PRIMARY KEY,
  TEMID     VARCHAR(20) NOT NULL,
  TIMEBEGIN VARCHAR(8) NOT NULL,
  TIMEEND   VARCHAR(8) NOT NULL,
  ORGID     VARCHAR(60) NOT NULL
);
CREATE INDEX rptreport_temid_period_org ON RPTREPORT (TEMID, TIMEBEGIN, TIMEEND, ORGID);
CREATE INDEX rptreport_orgid ON RPTREPORT (ORGID);

-- Cell values of a report.
CREATE TABLE RPTREPORTDATA (
  REPORTID INTEGER NOT NULL,
  ROW      INTEGER NOT NULL,
  COL      INTEGER NOT NULL,
  VAL      VARCHAR(2000),
  PRIMARY KEY (REPORTID, ROW, COL)
);
CREATE INDEX rptreportdata_cell ON RPTREPORTDATA (ROW, COL);

-- The database's own check rules: CHECKTYPE 3 within one table, 4 between tables.
CREATE TABLE RPTCHECKRULE (
  RPTID     VARCHAR(20) NOT NULL,
  CHECKID   INTEGER NOT NULL,
  CHECKTYPE INTEGER NOT NULL,
  PRIMARY KEY (RPTID, CHECKID)
);

-- Formulas of a rule: EXPRESSION such as R12C3=R4C3+R5C3, RELATION one of
-- <, <=, =, >=, >, <>.
CREATE TABLE RPTFORMULA (
  RPTID      VARCHAR(20) NOT NULL,
  CHECKID    INTEGER NOT NULL,
  FORMULAID  INTEGER NOT NULL,
  EXPRESSION VARCHAR(1000),
  RELATION   VARCHAR(10),
  PRIMARY KEY (RPTID, CHECKID, FORMULAID)
);

-- Cell references of a formula: TYPE 0 left side, 1 right side; ID numbers the
-- reference within its formula; EXPRESSION such as R12C3, +R4C3 or
-- T18000700R12C3; OPERATOR '-' subtracts the cell.
CREATE TABLE RPTFORMULAELEMENT (
  RPTID      VARCHAR(20) NOT NULL,
  CHECKID    INTEGER NOT NULL,
  FORMULAID  INTEGER NOT NULL,
  ID         INTEGER NOT NULL,
  TYPE       INTEGER NOT NULL,
  TABLENAME  VARCHAR(20),
  EXPRESSION VARCHAR(200),
  OPERATOR   VARCHAR(10),
  PREFIX     VARCHAR(100),
  POSTFIX    VARCHAR(100),
  PRIMARY KEY (RPTID, CHECKID, FORMULAID, ID)
);
