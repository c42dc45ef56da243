-- Demo rows for the host tables of host_schema.sql: four fuel types priced by
-- NAV's four categories, one the host prices itself, and a few stored prices.
-- The file is UTF-8; load it over a UTF8 attachment so the accented names
-- land in the WIN1250 columns as the host's own client would store them.

INSERT INTO UZA (UZAID, UZANEV) VALUES (1, 'Benzin 95 oktános');
INSERT INTO UZA (UZAID, UZANEV) VALUES (2, 'Dízel');
INSERT INTO UZA (UZAID, UZANEV) VALUES (3, 'Keverék 1:40');
INSERT INTO UZA (UZAID, UZANEV) VALUES (4, 'Autógáz');
INSERT INTO UZA (UZAID, UZANEV) VALUES (5, 'Villamos energia');

INSERT INTO UZA_APEH (UZA_ID, UZA_MEGNEV) VALUES (1, 'Benzin ESZ-95');
INSERT INTO UZA_APEH (UZA_ID, UZA_MEGNEV) VALUES (2, 'Gázolaj');
INSERT INTO UZA_APEH (UZA_ID, UZA_MEGNEV) VALUES (3, 'Keverék');
INSERT INTO UZA_APEH (UZA_ID, UZA_MEGNEV) VALUES (4, 'LPG autógáz');
-- Not one of NAV's categories: never priced from the page.
INSERT INTO UZA_APEH (UZA_ID, UZA_MEGNEV) VALUES (5, 'Elektromos');
-- The host's placeholder row, skipped by the reconciliation.
INSERT INTO UZA_APEH (UZA_ID, UZA_MEGNEV) VALUES (0, 'Benzin ESZ-95');

-- Differs from the page (366): the run asks before overwriting.
INSERT INTO UZAAR (UZAID, DATUM, UZAAR, JELLEG, UZANEV, MEGJ)
  VALUES (1, '2018-01-01', 362, 'KE', 'Benzin 95 oktános', 'kézi rögzítés');
-- Differs from the page (243): asked as well.
INSERT INTO UZAAR (UZAID, DATUM, UZAAR, JELLEG, UZANEV, MEGJ)
  VALUES (4, '2018-02-01', 240.5, 'KE', 'Autógáz', 'kézi rögzítés');
-- Equal to the page (376): left alone.
INSERT INTO UZAAR (UZAID, DATUM, UZAAR, JELLEG, UZANEV, MEGJ)
  VALUES (2, '2018-03-01', 376, 'AA', 'Dízel', 'NAV ÁR');
-- The unmapped fuel's own price: never touched.
INSERT INTO UZAAR (UZAID, DATUM, UZAAR, JELLEG, UZANEV, MEGJ)
  VALUES (5, '2018-01-01', 45, 'KE', 'Villamos energia', 'kézi rögzítés');

COMMIT;
