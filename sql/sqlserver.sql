-- Inventory database of the pump, SQL Server edition (2012 or later).
--
-- The name columns the pump looks rows up by (workstation, product, ODBC
-- driver and data source) compare without regard to case, whatever the
-- database's default collation, and "=" ignores trailing spaces on SQL Server
-- anyway (the SQLite and PostgreSQL scripts keep a key column beside each such
-- name, which the pump's look-ups compare there, to the same effect). Other
-- text columns take the database's default collation (case-insensitive
-- unless chosen otherwise). Names are nvarchar. Identity keys are int
-- IDENTITY(1,1). Getdate() is the server's own. The version of this schema is
-- the one row of SchemaVersion; "kolbidb upgrade" brings an older database to it.

CREATE TABLE SchemaVersion (
    Version int NOT NULL
);
INSERT INTO SchemaVersion (Version) VALUES (4);

CREATE TABLE Postes (
    PosteID int IDENTITY(1, 1) NOT NULL CONSTRAINT PK_Postes PRIMARY KEY,
    Poste_Nom nvarchar(450) COLLATE Latin1_General_CI_AS NULL,
    Poste_Domain nvarchar(255) NULL,
    Poste_FirstSoftInventory date NULL,
    Poste_LastSoftInventory date NULL,
    PosteHardID int NULL,
    PosteSoftID int NULL,
    Poste_OpsID int NULL,
    Poste_SerialNumber nvarchar(255) NULL,
    Poste_BiosSerialNum nvarchar(255) NULL,
    Poste_Mac nvarchar(255) NULL,
    Poste_LastSoftUsageReport date NULL,
    Poste_FirstHardInventory date NULL,
    Poste_LastHardInventory date NULL,
    Poste_LastUser nvarchar(255) NULL
);
CREATE INDEX IX_Postes_Poste_Nom ON Postes (Poste_Nom);

CREATE TABLE SoftProduct (
    SOFTPRODUCT_ID int IDENTITY(1, 1) NOT NULL CONSTRAINT PK_SoftProduct PRIMARY KEY,
    SOFTPRODUCT_PRODUCT nvarchar(450) COLLATE Latin1_General_CI_AS NULL,
    SOFTPRODUCT_DESCRIPTION nvarchar(max) NULL,
    SOFTPRODUCT_VERSION nvarchar(255) NULL,
    SOFTPRODUCT_COPYRIGHT nvarchar(max) NULL,
    SOFTPRODUCT_PACKAGE nvarchar(255) NULL,
    SOFTPRODUCT_LICENCE_GROUPE_NUMBER nvarchar(255) NULL,
    SOFTPRODUCT_LICENCE_NUMBER nvarchar(255) NULL,
    SOFTPRODUCT_LICENCE_ID int NULL,
    SOFTPRODUCT_LICBUY int NULL,
    SOFTPRODUCT_PRICE decimal(19, 4) NULL,
    SOFTPRODUCT_IGNORE smallint NULL,
    SOFTPRODUCT_USED smallint NULL
);
CREATE INDEX IX_SoftProduct_PRODUCT ON SoftProduct (SOFTPRODUCT_PRODUCT);

-- No key: a link may be stored twice, and a link is deleted by its two values.
CREATE TABLE PosteSoftware (
    PosteSoft_PosteID int NULL,
    PosteSoft_ProductID int NULL
);
CREATE INDEX IX_PosteSoftware_Poste_Product ON PosteSoftware (PosteSoft_PosteID, PosteSoft_ProductID);

CREATE TABLE Changement (
    Changement_ID int IDENTITY(1, 1) NOT NULL CONSTRAINT PK_Changement PRIMARY KEY,
    Changement_Poste nvarchar(450) COLLATE Latin1_General_CI_AS NULL,
    Changement_User nvarchar(255) NULL,
    Changement_Date datetime NULL,
    Changement_Type int NULL,
    Changement_Critique int NULL,
    Changement_Data nvarchar(max) NULL,
    Changement_ACK smallint NULL
);

CREATE TABLE Transactions (
    SIUser nvarchar(255) NULL,
    SIPoste nvarchar(450) NULL
);

CREATE TABLE ODBC_Drv (
    ODBC_ID int IDENTITY(1, 1) NOT NULL CONSTRAINT PK_ODBC_Drv PRIMARY KEY,
    ODBC_PRODUCTID int NULL,
    ODBC_DrvName nvarchar(450) COLLATE Latin1_General_CI_AS NULL,
    ODBC_Desc nvarchar(450) COLLATE Latin1_General_CI_AS NULL,
    ODBC_ProdVers nvarchar(100) COLLATE Latin1_General_CI_AS NULL,
    ODBC_CPR nvarchar(450) COLLATE Latin1_General_CI_AS NULL
);
CREATE INDEX IX_ODBC_Drv_Name_Version ON ODBC_Drv (ODBC_DrvName, ODBC_ProdVers);

CREATE TABLE ODBC_DSN (
    DSN_ODBC_ID int NULL,
    DSN_POSTEID int NULL,
    DSN_Name nvarchar(255) COLLATE Latin1_General_CI_AS NULL,
    DSN_DBName nvarchar(255) COLLATE Latin1_General_CI_AS NULL,
    DSN_ServName nvarchar(255) COLLATE Latin1_General_CI_AS NULL
);
CREATE INDEX IX_ODBC_DSN_Poste_Driver_Name ON ODBC_DSN (DSN_POSTEID, DSN_ODBC_ID, DSN_Name);
