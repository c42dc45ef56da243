-- The three tables of the host application that the price reconciliation
-- reads and writes, in the shape the host gives them, and the role its
-- clients attach with over the network. Run on a fresh dialect-3 database,
-- e.g.  isql-fb -q -user SYSDBA -i host_schema.sql DATABASE
-- (isql commits every statement here by itself).
--
-- The columns carry their character set themselves so the script gives the
-- same tables whatever the default character set of the database is.

-- Fuel types the host knows.
CREATE TABLE UZA (
  UZAID INTEGER NOT NULL,
  UZANEV VARCHAR(40) CHARACTER SET WIN1250,
  CONSTRAINT PK_UZA PRIMARY KEY (UZAID)
);

-- Which NAV category prices a fuel type. Rows with UZA_ID 0 or below are
-- placeholders of the host and are never priced.
CREATE TABLE UZA_APEH (
  UZA_ID INTEGER NOT NULL,
  UZA_MEGNEV VARCHAR(30) CHARACTER SET WIN1250
);

-- Prices, one row per fuel type and the day the price applies from. The host
-- keys nothing here, so a fuel type may hold several rows for one day.
CREATE TABLE UZAAR (
  UZAID INTEGER NOT NULL,
  DATUM DATE NOT NULL,
  UZAAR DOUBLE PRECISION,
  JELLEG CHAR(2) CHARACTER SET WIN1250,
  UZANEV VARCHAR(40) CHARACTER SET WIN1250,
  MEGJ VARCHAR(50) CHARACTER SET WIN1250,
  ROGZITVE TIMESTAMP DEFAULT CURRENT_TIMESTAMP
);

CREATE INDEX UZAAR_UZAID_DATUM ON UZAAR (UZAID, DATUM);

-- Clients that attach through the server name the role TCP.
CREATE ROLE TCP;
GRANT SELECT ON UZA TO ROLE TCP;
GRANT SELECT ON UZA_APEH TO ROLE TCP;
GRANT SELECT, INSERT, DELETE ON UZAAR TO ROLE TCP;
GRANT TCP TO SYSDBA;
