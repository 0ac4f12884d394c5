' A script client of LumoItems: objects by program id, properties through Add and the default
' member (literals and variables, which VBScript passes by reference), objects assigned with
' Set and held by a property, For Each, ToString with and without its argument, XML out and
' back in, and an error caught. Exits 1 on a mismatch.
Option Explicit
Dim failures : failures = 0

Sub Check(condition, what)
    If Not condition Then
        WScript.Echo "FAILED: " & what
        failures = failures + 1
    End If
End Sub

Dim item : Set item = CreateObject("LumoItems.LumoItem")
item.GUID = "5a1b2c3d-0000-4000-8000-00000000002a"
item.SchemaType = "Contact"
item.Properties.Add "Anna", "Name", "urn:example"
Dim age, ageName, ns
age = 42 : ageName = "Age" : ns = "urn:example"
item.Properties.Add age, ageName, ns
item.Properties.Add "Lakeside", "City", ns
Dim properties : Set properties = item.Properties
properties("Name", ns) = "Anna B."
Check item.Properties.Count = 3, "three properties"
Check item.Properties("Age", "urn:example") = 42, "Age read back"
Check item.Properties("Name", "urn:example") = "Anna B.", "Name put through the default member"

Dim address : Set address = CreateObject("LumoItems.LumoItem")
address.SchemaType = "PostalAddress"
item.Properties.Add address, "Address", ns
Check IsObject(item.Properties("Address", ns)), "an object held by a property"

Dim names, property
names = ""
For Each property In item.Properties
    names = names & property.Name & ";"
Next
Check names = "Address;Age;City;Name;", "For Each in key order: " & names

Dim collection : Set collection = CreateObject("LumoItems.LumoEnum")
collection.Add item, "anna"
collection.Add CreateObject("LumoItems.LumoItem")
Dim count, member : count = 0
For Each member In collection
    count = count + 1
Next
Check count = 2, "For Each over the collection"

Check InStr(item.ToString(), "SchemaType: Contact") > 0, "ToString without its argument"
Check Left(item.ToString(1), 12) = "    LumoItem", "ToString indented one level"

Dim xml : xml = collection.SaveXML()
Dim loaded : Set loaded = CreateObject("LumoItems.LumoEnum")
loaded.LoadXML xml
Check loaded.Count = 2, "the collection loaded back"
Check loaded.SaveXML() = xml, "the same document again"
Dim itemXml : itemXml = item.SaveXML()
Dim itemBack : Set itemBack = CreateObject("LumoItems.LumoItem")
itemBack.LoadXML itemXml
Check itemBack.SaveXML() = itemXml, "an item holding an item loaded back"

On Error Resume Next
item.LoadXML "<enum/>"
Check Err.Number = &H80045D53, "the library's error status, got " & Hex(Err.Number)
Check InStr(Err.Description, "<errorentry>") > 0, "the error document as description"
On Error GoTo 0

If failures > 0 Then WScript.Quit 1
WScript.Echo "ItemClient.vbs: all checks passed"
