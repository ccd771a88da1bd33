-- Inventory database of the pump, SQLite edition.
--
-- Text columns compare without regard to case (COLLATE NOCASE; ASCII letters
-- only, SQLite's own rule), as the pump's lookups expect. Identity keys are
-- INTEGER PRIMARY KEY AUTOINCREMENT: assigned on insert, never reused.
-- Getdate() comes from the extension kolbi_getdate, which the data source
-- loads (LoadExt=); "kolbidb create --sqlite" writes such a data source.

CREATE TABLE Postes (
    PosteID INTEGER PRIMARY KEY AUTOINCREMENT,
    Poste_Nom VARCHAR(450) COLLATE NOCASE,
    Poste_Domain VARCHAR(255) COLLATE NOCASE,
    Poste_FirstSoftInventory DATE,
    Poste_LastSoftInventory DATE,
    PosteHardID INTEGER,
    PosteSoftID INTEGER,
    Poste_OpsID INTEGER,
    Poste_SerialNumber VARCHAR(255) COLLATE NOCASE,
    Poste_BiosSerialNum VARCHAR(255) COLLATE NOCASE,
    Poste_Mac VARCHAR(255) COLLATE NOCASE,
    Poste_LastSoftUsageReport DATE,
    Poste_FirstHardInventory DATE,
    Poste_LastHardInventory DATE,
    Poste_LastUser VARCHAR(255) COLLATE NOCASE
);
CREATE INDEX IX_Postes_Poste_Nom ON Postes (Poste_Nom);

CREATE TABLE SoftProduct (
    SOFTPRODUCT_ID INTEGER PRIMARY KEY AUTOINCREMENT,
    SOFTPRODUCT_PRODUCT VARCHAR(450) COLLATE NOCASE,
    SOFTPRODUCT_DESCRIPTION TEXT COLLATE NOCASE,
    SOFTPRODUCT_VERSION VARCHAR(255) COLLATE NOCASE,
    SOFTPRODUCT_COPYRIGHT TEXT COLLATE NOCASE,
    SOFTPRODUCT_PACKAGE VARCHAR(255) COLLATE NOCASE,
    SOFTPRODUCT_LICENCE_GROUPE_NUMBER VARCHAR(255) COLLATE NOCASE,
    SOFTPRODUCT_LICENCE_NUMBER VARCHAR(255) COLLATE NOCASE,
    SOFTPRODUCT_LICENCE_ID INTEGER,
    SOFTPRODUCT_LICBUY INTEGER,
    SOFTPRODUCT_PRICE NUMERIC(19, 4),
    SOFTPRODUCT_IGNORE SMALLINT,
    SOFTPRODUCT_USED SMALLINT
);
CREATE INDEX IX_SoftProduct_PRODUCT ON SoftProduct (SOFTPRODUCT_PRODUCT);

-- No key: a link may be stored twice, and a link is deleted by its two values.
CREATE TABLE PosteSoftware (
    PosteSoft_PosteID INTEGER,
    PosteSoft_ProductID INTEGER
);
CREATE INDEX IX_PosteSoftware_Poste_Product ON PosteSoftware (PosteSoft_PosteID, PosteSoft_ProductID);

CREATE TABLE Changement (
    Changement_ID INTEGER PRIMARY KEY AUTOINCREMENT,
    Changement_Poste VARCHAR(450) COLLATE NOCASE,
    Changement_User VARCHAR(255) COLLATE NOCASE,
    Changement_Date DATETIME,
    Changement_Type INTEGER,
    Changement_Critique INTEGER,
    Changement_Data TEXT COLLATE NOCASE,
    Changement_ACK SMALLINT
);

CREATE TABLE Transactions (
    SIUser VARCHAR(255) COLLATE NOCASE,
    SIPoste VARCHAR(450) COLLATE NOCASE
);

CREATE TABLE ODBC_Drv (
    ODBC_ID INTEGER PRIMARY KEY AUTOINCREMENT,
    ODBC_PRODUCTID INTEGER,
    ODBC_DrvName VARCHAR(450) COLLATE NOCASE,
    ODBC_Desc VARCHAR(450) COLLATE NOCASE,
    ODBC_ProdVers VARCHAR(100) COLLATE NOCASE,
    ODBC_CPR VARCHAR(450) COLLATE NOCASE
);
CREATE INDEX IX_ODBC_Drv_Name_Version ON ODBC_Drv (ODBC_DrvName, ODBC_ProdVers);

CREATE TABLE ODBC_DSN (
    DSN_ODBC_ID INTEGER,
    DSN_POSTEID INTEGER,
    DSN_Name VARCHAR(255) COLLATE NOCASE,
    DSN_DBName VARCHAR(255) COLLATE NOCASE,
    DSN_ServName VARCHAR(255) COLLATE NOCASE
);
CREATE INDEX IX_ODBC_DSN_Poste_Driver_Name ON ODBC_DSN (DSN_POSTEID, DSN_ODBC_ID, DSN_Name);
