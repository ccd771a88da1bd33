-- Inventory database of the pump, SQLite edition.
--
-- Comparisons as SQL Server's default collation makes them: the name columns
-- the pump looks rows up by (workstation, product, ODBC driver and data
-- source) use the collation kolbi_name, which ignores case and trailing
-- spaces, so that 'Tool ' finds 'tool'; the other text columns compare
-- without regard to case (COLLATE NOCASE; ASCII letters only, SQLite's own
-- rule). Values read back exactly as they were stored.
-- Types as the servers keep them: every integer, number and date column
-- checks its values with kolbi_typed(), so a text never lands in an INTEGER
-- column and a day-month text never in a DATE column.
-- Identity keys are INTEGER PRIMARY KEY AUTOINCREMENT: assigned on insert,
-- never reused.
-- Getdate(), kolbi_name and kolbi_typed() come from the extension
-- kolbi_getdate, which the data source loads (LoadExt=); "kolbidb create
-- --sqlite" writes such a data source. Without it the tables cannot be
-- written nor searched by name.

CREATE TABLE Postes (
    PosteID INTEGER PRIMARY KEY AUTOINCREMENT,
    Poste_Nom VARCHAR(450) COLLATE kolbi_name,
    Poste_Domain VARCHAR(255) COLLATE NOCASE,
    Poste_FirstSoftInventory DATE CHECK (kolbi_typed(Poste_FirstSoftInventory, 'date')),
    Poste_LastSoftInventory DATE CHECK (kolbi_typed(Poste_LastSoftInventory, 'date')),
    PosteHardID INTEGER CHECK (kolbi_typed(PosteHardID, 'integer')),
    PosteSoftID INTEGER CHECK (kolbi_typed(PosteSoftID, 'integer')),
    Poste_OpsID INTEGER CHECK (kolbi_typed(Poste_OpsID, 'integer')),
    Poste_SerialNumber VARCHAR(255) COLLATE NOCASE,
    Poste_BiosSerialNum VARCHAR(255) COLLATE NOCASE,
    Poste_Mac VARCHAR(255) COLLATE NOCASE,
    Poste_LastSoftUsageReport DATE CHECK (kolbi_typed(Poste_LastSoftUsageReport, 'date')),
    Poste_FirstHardInventory DATE CHECK (kolbi_typed(Poste_FirstHardInventory, 'date')),
    Poste_LastHardInventory DATE CHECK (kolbi_typed(Poste_LastHardInventory, 'date')),
    Poste_LastUser VARCHAR(255) COLLATE NOCASE
);
CREATE INDEX IX_Postes_Poste_Nom ON Postes (Poste_Nom);

CREATE TABLE SoftProduct (
    SOFTPRODUCT_ID INTEGER PRIMARY KEY AUTOINCREMENT,
    SOFTPRODUCT_PRODUCT VARCHAR(450) COLLATE kolbi_name,
    SOFTPRODUCT_DESCRIPTION TEXT COLLATE NOCASE,
    SOFTPRODUCT_VERSION VARCHAR(255) COLLATE NOCASE,
    SOFTPRODUCT_COPYRIGHT TEXT COLLATE NOCASE,
    SOFTPRODUCT_PACKAGE VARCHAR(255) COLLATE NOCASE,
    SOFTPRODUCT_LICENCE_GROUPE_NUMBER VARCHAR(255) COLLATE NOCASE,
    SOFTPRODUCT_LICENCE_NUMBER VARCHAR(255) COLLATE NOCASE,
    SOFTPRODUCT_LICENCE_ID INTEGER CHECK (kolbi_typed(SOFTPRODUCT_LICENCE_ID, 'integer')),
    SOFTPRODUCT_LICBUY INTEGER CHECK (kolbi_typed(SOFTPRODUCT_LICBUY, 'integer')),
    SOFTPRODUCT_PRICE NUMERIC(19, 4) CHECK (kolbi_typed(SOFTPRODUCT_PRICE, 'number')),
    SOFTPRODUCT_IGNORE SMALLINT CHECK (kolbi_typed(SOFTPRODUCT_IGNORE, 'smallint')),
    SOFTPRODUCT_USED SMALLINT CHECK (kolbi_typed(SOFTPRODUCT_USED, 'smallint'))
);
CREATE INDEX IX_SoftProduct_PRODUCT ON SoftProduct (SOFTPRODUCT_PRODUCT);

-- No key: a link may be stored twice, and a link is deleted by its two values.
CREATE TABLE PosteSoftware (
    PosteSoft_PosteID INTEGER CHECK (kolbi_typed(PosteSoft_PosteID, 'integer')),
    PosteSoft_ProductID INTEGER CHECK (kolbi_typed(PosteSoft_ProductID, 'integer'))
);
CREATE INDEX IX_PosteSoftware_Poste_Product ON PosteSoftware (PosteSoft_PosteID, PosteSoft_ProductID);

CREATE TABLE Changement (
    Changement_ID INTEGER PRIMARY KEY AUTOINCREMENT,
    Changement_Poste VARCHAR(450) COLLATE kolbi_name,
    Changement_User VARCHAR(255) COLLATE NOCASE,
    Changement_Date DATETIME CHECK (kolbi_typed(Changement_Date, 'datetime')),
    Changement_Type INTEGER CHECK (kolbi_typed(Changement_Type, 'integer')),
    Changement_Critique INTEGER CHECK (kolbi_typed(Changement_Critique, 'integer')),
    Changement_Data TEXT COLLATE NOCASE,
    Changement_ACK SMALLINT CHECK (kolbi_typed(Changement_ACK, 'smallint'))
);

CREATE TABLE Transactions (
    SIUser VARCHAR(255) COLLATE NOCASE,
    SIPoste VARCHAR(450) COLLATE NOCASE
);

CREATE TABLE ODBC_Drv (
    ODBC_ID INTEGER PRIMARY KEY AUTOINCREMENT,
    ODBC_PRODUCTID INTEGER CHECK (kolbi_typed(ODBC_PRODUCTID, 'integer')),
    ODBC_DrvName VARCHAR(450) COLLATE kolbi_name,
    ODBC_Desc VARCHAR(450) COLLATE kolbi_name,
    ODBC_ProdVers VARCHAR(100) COLLATE kolbi_name,
    ODBC_CPR VARCHAR(450) COLLATE kolbi_name
);
CREATE INDEX IX_ODBC_Drv_Name_Version ON ODBC_Drv (ODBC_DrvName, ODBC_ProdVers);

CREATE TABLE ODBC_DSN (
    DSN_ODBC_ID INTEGER CHECK (kolbi_typed(DSN_ODBC_ID, 'integer')),
    DSN_POSTEID INTEGER CHECK (kolbi_typed(DSN_POSTEID, 'integer')),
    DSN_Name VARCHAR(255) COLLATE kolbi_name,
    DSN_DBName VARCHAR(255) COLLATE kolbi_name,
    DSN_ServName VARCHAR(255) COLLATE kolbi_name
);
CREATE INDEX IX_ODBC_DSN_Poste_Driver_Name ON ODBC_DSN (DSN_POSTEID, DSN_ODBC_ID, DSN_Name);
