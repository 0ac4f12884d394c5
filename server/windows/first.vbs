' A first script of LumoItems: an item with two properties, its XML document, and the document
' read back into a new item. Run it with: cscript //nologo first.vbs
Option Explicit
Dim item : Set item = CreateObject("LumoItems.LumoItem")
item.SchemaType = "Contact"
item.Properties.Add "Anna", "Name", "urn:example"
item.Properties.Add 42, "Age", "urn:example"
Dim xml : xml = item.SaveXML()
WScript.Echo xml

Dim copy : Set copy = CreateObject("LumoItems.LumoItem")
copy.LoadXML xml
WScript.Echo copy.Properties("Name", "urn:example") & " is " & copy.Properties("Age", "urn:example")
