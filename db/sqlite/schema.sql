-- The tables of the program's databases on SQLite, for the entities INTERNOS (caratula) and
-- HISTORIAL (HISTORIAL) of QuillonConfig.ini; both may live in one file. Load with
--   sqlite3 /path/to/file.db ".read db/sqlite/schema.sql"
--
-- SQLite keeps a date as the text 'YYYY-MM-DD' (a timestamp as 'YYYY-MM-DD HH:MM:SS'), the form
-- its date functions read. The ODBC driver writes an escape {d '2010-06-28'} that way and, from
-- the declared types date and timestamp, reads such columns back as dates.

-- Write-ahead logging: a commit costs one flush to disk instead of three, and readers do not
-- wait for the writer. The mode stays with the file.
PRAGMA journal_mode=WAL;

-- Operations of the office, one per internal number; the program only reads it.
create table if not exists caratula (
    interno varchar primary key,
    fechaalta timestamp,
    cuitcliente varchar(11),
    cuitdespaduana varchar(11),
    factura7 varchar(120)
);

-- One row per customs dispatch sent to the server.
create table if not exists HISTORIAL (
    IDENTIFICADOR_PROPIO varchar,
    DESPACHO varchar primary key,
    DESTINACION varchar,
    COD_ADUANA varchar,
    CUIT_DESPACHANTE varchar,
    CUIT_IMPO_EXPO varchar,
    NOMBRE_IMPO_EXPO varchar,
    FECHA_OFICIALIZACION date,
    XMLCaratula text,
    XMLItem text,
    Usuario varchar,
    TRANFERIDO char(1)
);
