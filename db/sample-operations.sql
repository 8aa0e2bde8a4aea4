-- A few operations of the office for the demo and the tests (SQLite or PostgreSQL): the
-- sample dispatches of tests/data/kit are completed from them.
insert into caratula (interno, fechaalta, cuitcliente, cuitdespaduana, factura7) values
    ('4521', '2010-06-25 09:30:00', ' 30712345678 ', '20222333444', 'Importadora Peña Ñandú S.A. '),
    ('0123/10', '2010-06-21 00:00:00', '30500000001', '20111111112', 'No se usa'),
    ('EXP-77', '2010-06-29 00:00:00', '30711122233', '20222333444', 'Exportadora del Litoral S.R.L.'),
    ('808', '2010-07-01 00:00:00', '30999888771', NULL, 'Comercial O''Neill S.A.');
