-- The tables of the program's databases on PostgreSQL, for the entities INTERNOS (caratula) and
-- HISTORIAL (HISTORIAL) of QuillonConfig.ini; both may live in one database, which must use the
-- UTF8 encoding. Load with
--   psql -v ON_ERROR_STOP=1 -h HOST -U USER -d DATABASE -f db/postgresql/schema.sql
--
-- Names are unquoted, so PostgreSQL keeps them in lower case and the program's statements find
-- them however they spell them (insert into HISTORIAL(DESPACHO, ...), select despacho from
-- historial ...).

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
